// Hosts that call the component from many threads at once, as a server's pool of workers does:
// the platform lets one call in at a time (re-entrant for the thread inside), and its activation
// neither deadlocks against that nor unloads a library that a thread is about to use.
#include "host/Component.h"
#include "host/ComponentLibrary.h"
#include "pravell_idl.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace Ostrel::Testing {
namespace {

constexpr int kThreads = 6;
constexpr int kRounds = 30;
const std::string kDeclaration = "<?xml version='1.0' encoding='UTF-8' ?>\n";

// Runs body(i) for i below `count`, each on a host thread of its own, all at once.
void OnThreads(int count, const std::function<void(int)>& body) {
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&body, i] {
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
            body(i);
            CoUninitialize();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

std::set<std::string> OpenFiles() {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        files.insert(entry.path().filename());
    }
    return files;
}

// The document's element: the model's root is the nameless node above it.
LateBound Element(IDispatch* model) {
    return CallForObject(CallForObject(model, "GetRoot"), "GetChild", {IntegerArgument(0)});
}

// Whether the library is still loaded once the platform has unloaded what it may.
bool StaysLoaded() {
    CoFreeUnusedLibraries();
    return GetModuleHandleA(PRAVELL_COMPONENT_NAME) != nullptr;
}

LateBound Create(const std::string& progId) {
    LateBound object;
    EXPECT_EQ(CreateComponent(progId, object), S_OK);
    return object;
}

// The component registered in a registry of the test's own, for the test's life.
class ThreadedHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_EQ(ComponentLibrary(PRAVELL_COMPONENT).Register(), S_OK);
    }
    void TearDown() override { CoUninitialize(); }

    PrivateRegistry registry;
};

// Each thread loads its own model from a string, a file and a container, walks, edits and saves
// it, and parses with its own parser and client; meanwhile every thread adds to its own subtree
// of one shared model through a node object that another thread made, and lets go of it last.
// Every document and event log comes out exactly, and nothing stays open or alive.
TEST_F(ThreadedHost, ThreadsAtOnceEachGetTheirOwnExactResults) {
    const std::set<std::string> filesBefore = OpenFiles();
    LateBound shared = Create("Corvantis.XMLModel");
    ASSERT_TRUE(shared.Do("LoadFromString", {TextArgument("<s><t/><t/><t/><t/><t/><t/></s>")}));
    std::vector<LateBound> handed;
    for (int i = 0; i < kThreads; ++i) {
        handed.push_back(CallForObject(Element(shared), "GetChild", {IntegerArgument(i)}));
    }

    OnThreads(kThreads, [&](int i) {
        const std::string n = std::to_string(i);
        const std::string file = registry.Directory() + "/own" + n;
        LateBound model = Create("Corvantis.XMLModel");
        LateBound parser = Create("Corvantis.StreamingXMLParser");
        for (int round = 0; round < kRounds; ++round) {
            const std::string r = std::to_string(round);
            const std::string xml = "<doc n='" + n + "'><a>" + r + "</a></doc>";
            EXPECT_EQ(Call(model, "LoadFromString", {TextArgument(xml)}).code, S_OK);
            LateBound root = Element(model);
            const std::string text =
                Call(CallForObject(root, "GetChild", {IntegerArgument(0)}), "GetText").Text();
            LateBound added = CallForObject(root, "AddChild", {TextArgument("b")});
            Call(added, "SetText", {TextArgument(text + "!")});
            Call(added, "AddAttribute", {TextArgument("t"), TextArgument(n)});
            for (const char* way : {"", "Compressed"}) {
                EXPECT_EQ(Call(model, std::string("Save") + way, {TextArgument(file)}).code, S_OK);
                EXPECT_EQ(Call(model, std::string("Load") + way, {TextArgument(file)}).code, S_OK);
            }
            // As a compiled host calls: through the interface, not Invoke.
            IDispatchXMLModel* typed = nullptr;
            ASSERT_EQ(
                model->QueryInterface(IID_IDispatchXMLModel, reinterpret_cast<void**>(&typed)),
                S_OK);
            BSTR saved = nullptr;
            EXPECT_EQ(typed->SaveToString(&saved), S_OK);
            typed->Release();
            EXPECT_EQ(TakeUtf8(saved), kDeclaration + "<doc n=\"" + n + "\">\n   <a>" + r +
                                           "</a>\n   <b t=\"" + n + "\">" + r + "!</b>\n</doc>\n");

            RecordingClient client;
            IDispatchXMLParser* typedParser = nullptr;
            ASSERT_EQ(parser->QueryInterface(IID_IDispatchXMLParser,
                                             reinterpret_cast<void**>(&typedParser)),
                      S_OK);
            EXPECT_EQ(typedParser->ParseString(Bstr(xml), &client), S_OK);
            typedParser->Release();
            EXPECT_EQ(LogText(client.events), "StartDocument\nStartElement doc [n=" + n +
                                                  "]\nStartElement a []\nCharacters '" + r +
                                                  "'\nEndElement a\nEndElement doc\nEndDocument\n");
            EXPECT_EQ(client.References(), 1u);

            Call(CallForObject(handed[(i + 1) % kThreads], "AddChild", {TextArgument("r" + n)}),
                 "SetText", {TextArgument(r)});
        }
        handed[(i + 1) % kThreads].Reset();
    });

    std::string expected = kDeclaration + "<s>\n";
    for (int i = 0; i < kThreads; ++i) {
        expected += "   <t>\n";
        for (int round = 0; round < kRounds; ++round) {
            expected += "      <r" + std::to_string((i + kThreads - 1) % kThreads) + ">" +
                        std::to_string(round) + "</r" +
                        std::to_string((i + kThreads - 1) % kThreads) + ">\n";
        }
        expected += "   </t>\n";
    }
    EXPECT_EQ(Call(shared, "SaveToString").Text(), expected + "</s>\n");
    shared.Reset();
    EXPECT_FALSE(StaysLoaded());
    EXPECT_EQ(OpenFiles(), filesBefore);
}

// A client's event (its thread inside the component) creates an object while another thread is
// already creating one and waits for the component: both complete. Then objects are created and
// called on two threads while a third unloads whatever the platform lets it: no library goes
// while a thread is between finding its factory and the new object, or inside a call.
TEST_F(ThreadedHost, ActivationNeitherDeadlocksNorUnloadsALibraryInUse) {
    LateBound parser = Create("Corvantis.StreamingXMLParser");
    RecordingClient client;
    std::thread waiting;
    client.afterEvent = [&](RecordingClient& heard) {
        if (heard.events.size() != 2) {
            return;
        }
        std::atomic<bool> creating{false};
        waiting = std::thread([&] {
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
            creating = true;
            EXPECT_TRUE(Create("Corvantis.XMLModel").Do("LoadFromString", {TextArgument("<w/>")}));
            CoUninitialize();
        });
        while (!creating) {
            std::this_thread::yield();
        }
        // Time for the other thread to reach the door.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(Create("Corvantis.XMLModel").Do("LoadFromString", {TextArgument("<i/>")}));
    };
    EXPECT_EQ(Call(parser, "ParseString", {TextArgument("<a/>"), ObjectArgument(&client)}).code,
              S_OK);
    waiting.join();
    parser.Reset();

    std::atomic<bool> done{false};
    std::thread unloading([&] {
        while (!done) {
            CoFreeUnusedLibraries();
        }
    });
    OnThreads(2, [](int) {
        for (int round = 0; round < 20 * kRounds; ++round) {
            EXPECT_EQ(Call(Create("Corvantis.XMLModel"), "GetRoot").code, S_OK);
        }
    });
    done = true;
    unloading.join();
    EXPECT_FALSE(StaysLoaded());
}

} // namespace
} // namespace Ostrel::Testing
