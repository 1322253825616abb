// Linked into run_subject_unsynced alone. The component's file saves call fsync before they
// replace the target; in this program the static link binds that call to this definition instead
// of the C library's, so that a save does all of its work but wait for the disk. The component
// itself has no such switch: outside this program it always syncs.
extern "C" int fsync(int) {
    return 0;
}
