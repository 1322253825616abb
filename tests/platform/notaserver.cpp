// A library that loads but exports no class objects: activation through it must fail cleanly.
extern "C" int NotAServer() {
    return 0;
}
