// Google Benchmark of what automation hosts pay: a streaming parse through an early-bound client
// against raw expat whose handlers do the same string work (every name and text converted to an
// automation string and freed, every tag's attributes copied into a list sorted by name), and a
// cheap node operation called through IDispatch::Invoke with a cached identifier against the
// same call through the vtable; a load, a save and a streaming parse of the document through the
// objects' interfaces, as a compiled host makes them; and threads that each load, walk and save
// documents of their own, against one thread and against one thread doing their work in turn.
// Processor time (the threads: wall time); the harness reports the ratios.
// Usage: automation_benchmarks --document=FILE --scratch=DIR [benchmark options]
#include "DocumentGenerator.h"
#include "FileBytes.h"
#include "host/HostObject.h"
#include "model/HExternalXMLModel.h"
#include "parser/Tokenizer.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "streaming/HExternalXMLParser.h"
#include "streaming/ParseEngine.h"

#include <benchmark/benchmark.h>
#include <expat.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using Ostrel::Bench::ReadFileBytes;

constexpr LONG kPiece = Ostrel::Tokenizer::kPieceSize;

std::vector<unsigned char> documentBytes;
std::string documentPath;
std::string scratch;
// A document of about 1 MiB that each thread of the thread rows loads.
std::string threadDocumentPath;
constexpr uint64_t kThreadDocumentBytes = 1 << 20;

// The document from memory, in the pieces the engine asks for.
class MemorySource : public Ostrel::IDataTransfer {
public:
    bool Write(const void*, LONG) override { return false; }
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override {
        const size_t count = std::min(documentBytes.size() - position, size_t(maxLength));
        std::memcpy(buffer, documentBytes.data() + position, count);
        position += count;
        *bytesRead = static_cast<uint32_t>(count);
        return true;
    }
    bool Unread(LONG) override { return false; }
    void AddRef() override {}
    void Release() override {}

private:
    size_t position = 0;
};

// A compiled host's client that only counts what it hears.
class CountingClient final
    : public Ostrel::HostObject<IDispatchXMLParserClient, IID_IDispatchXMLParserClient> {
public:
    HRESULT STDMETHODCALLTYPE Characters(BSTR) override { return Count(); }
    HRESULT STDMETHODCALLTYPE StartElement(BSTR, IDispatch*) override { return Count(); }
    HRESULT STDMETHODCALLTYPE EndElement(BSTR) override { return Count(); }
    HRESULT STDMETHODCALLTYPE Comment(BSTR) override { return Count(); }
    HRESULT STDMETHODCALLTYPE DocumentType(BSTR, IDispatch*) override { return Count(); }
    HRESULT STDMETHODCALLTYPE ParseError(BSTR) override { return Count(); }
    HRESULT STDMETHODCALLTYPE StartDocument() override { return Count(); }
    HRESULT STDMETHODCALLTYPE EndDocument() override { return Count(); }

    int64_t events = 0;

private:
    HRESULT Count() {
        ++events;
        return S_OK;
    }
};

// What the engine does with each string it hands a client.
void ConvertAndFree(const char* text, int length) {
    const int wide = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    BSTR converted = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    MultiByteToWideChar(CP_ACP, 0, text, length, converted, wide);
    benchmark::DoNotOptimize(converted);
    SysFreeString(converted);
}

struct RawParse {
    int64_t events = 0;
    std::vector<std::pair<std::string, std::string>> attributes;
};

void XMLCALL RawStart(void* data, const XML_Char* name, const XML_Char** pairs) {
    auto* parse = static_cast<RawParse*>(data);
    ++parse->events;
    ConvertAndFree(name, static_cast<int>(std::strlen(name)));
    parse->attributes.clear();
    for (; pairs[0] != nullptr; pairs += 2) {
        parse->attributes.emplace_back(pairs[0], pairs[1]);
    }
    std::sort(parse->attributes.begin(), parse->attributes.end(), [](const auto& a, const auto& b) {
        return strcasecmp(a.first.c_str(), b.first.c_str()) < 0;
    });
    benchmark::DoNotOptimize(parse->attributes.data());
}

void XMLCALL RawEnd(void* data, const XML_Char* name) {
    ++static_cast<RawParse*>(data)->events;
    ConvertAndFree(name, static_cast<int>(std::strlen(name)));
}

void XMLCALL RawText(void* data, const XML_Char* text, int length) {
    ++static_cast<RawParse*>(data)->events;
    ConvertAndFree(text, length);
}

void XMLCALL RawComment(void* data, const XML_Char* text) {
    ++static_cast<RawParse*>(data)->events;
    ConvertAndFree(text, static_cast<int>(std::strlen(text)));
}

bool ParseRaw(RawParse& parse) {
    XML_Parser parser = XML_ParserCreate("utf-8");
    XML_SetUserData(parser, &parse);
    XML_SetElementHandler(parser, RawStart, RawEnd);
    XML_SetCharacterDataHandler(parser, RawText);
    XML_SetCommentHandler(parser, RawComment);
    parse.events += 2; // the framing events the engine adds
    bool parsed = true;
    for (size_t at = 0; parsed;) {
        const size_t count = std::min(documentBytes.size() - at, size_t(kPiece));
        const bool last = count < size_t(kPiece);
        parsed = XML_Parse(parser, reinterpret_cast<const char*>(documentBytes.data()) + at,
                           static_cast<int>(count), last) == XML_STATUS_OK;
        at += count;
        if (last) {
            break;
        }
    }
    XML_ParserFree(parser);
    return parsed;
}

void Report(benchmark::State& state, int64_t events) {
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(documentBytes.size()));
    state.counters["events_per_second"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

void StreamPravell(benchmark::State& state) {
    CountingClient client;
    for (auto _ : state) {
        MemorySource source;
        if (Ostrel::RunParse(source, &client) != S_OK) {
            state.SkipWithError("the parse failed");
            break;
        }
    }
    Report(state, client.events);
}

void StreamExpat(benchmark::State& state) {
    RawParse parse;
    for (auto _ : state) {
        if (!ParseRaw(parse)) {
            state.SkipWithError("the parse failed");
            break;
        }
    }
    Report(state, parse.events);
}

// A node of a small document, its model and the cached identifier of GetName.
struct NodeFixture {
    NodeFixture() {
        model = new Ostrel::HExternalXMLModel();
        model->AddRef();
        BSTR xml = SysAllocString(OLESTR("<element/>"));
        model->LoadFromString(xml);
        SysFreeString(xml);
        IDispatchXMLModelNode* root = nullptr;
        model->GetRoot(&root);
        VARIANT first;
        VariantInit(&first);
        first.vt = VT_I4;
        first.lVal = 0;
        root->GetChild(&first, &node);
        root->Release();
        OLECHAR name[] = OLESTR("GetName");
        LPOLESTR names[] = {name};
        loaded = node != nullptr && node->GetIDsOfNames(IID_NULL, names, 1, 0, &getName) == S_OK;
    }
    ~NodeFixture() {
        if (node != nullptr) {
            node->Release();
        }
        model->Release();
    }

    Ostrel::HExternalXMLModel* model = nullptr;
    IDispatchXMLModelNode* node = nullptr;
    DISPID getName = DISPID_UNKNOWN;
    bool loaded = false;
};

void CallDirect(benchmark::State& state) {
    NodeFixture fixture;
    for (auto _ : state) {
        BSTR name = nullptr;
        fixture.node->GetName(&name);
        benchmark::DoNotOptimize(name);
        SysFreeString(name);
    }
    state.SetItemsProcessed(state.iterations());
}

void CallLateBound(benchmark::State& state) {
    NodeFixture fixture;
    if (!fixture.loaded) {
        state.SkipWithError("GetName has no identifier (type library not registered)");
        return;
    }
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    for (auto _ : state) {
        VARIANT result;
        VariantInit(&result);
        fixture.node->Invoke(fixture.getName, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr,
                             nullptr);
        benchmark::DoNotOptimize(result.bstrVal);
        VariantClear(&result);
    }
    state.SetItemsProcessed(state.iterations());
}

// An automation string of a path; freed when it goes out of scope.
class PathString {
public:
    explicit PathString(const std::string& path) {
        const int wide = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
        text = SysAllocStringLen(nullptr, static_cast<UINT>(wide - 1));
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, text, wide);
    }
    PathString(const PathString&) = delete;
    PathString& operator=(const PathString&) = delete;
    ~PathString() { SysFreeString(text); }
    BSTR text = nullptr;
};

// A model object of the host's own, as the class factory makes it.
struct ModelReference {
    ModelReference() : model(new Ostrel::HExternalXMLModel()) { model->AddRef(); }
    ModelReference(const ModelReference&) = delete;
    ModelReference& operator=(const ModelReference&) = delete;
    ~ModelReference() { model->Release(); }
    Ostrel::HExternalXMLModel* model;
};

void LoadThroughObject(benchmark::State& state) {
    ModelReference reference;
    PathString path(documentPath);
    for (auto _ : state) {
        if (reference.model->Load(path.text) != S_OK) {
            state.SkipWithError("the load failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(documentBytes.size()));
}

void SaveThroughObject(benchmark::State& state) {
    ModelReference reference;
    PathString path(documentPath);
    PathString target(scratch + "/object-save.xml");
    if (reference.model->Load(path.text) != S_OK) {
        state.SkipWithError("the load failed");
        return;
    }
    for (auto _ : state) {
        if (reference.model->Save(target.text) != S_OK) {
            state.SkipWithError("the save failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(documentBytes.size()));
}

void StreamThroughObject(benchmark::State& state) {
    auto* parser = new Ostrel::HExternalXMLParser();
    parser->AddRef();
    CountingClient client;
    PathString path(documentPath);
    for (auto _ : state) {
        if (parser->ParseFile(path.text, &client) != S_OK) {
            state.SkipWithError("the parse failed");
            break;
        }
    }
    parser->Release();
    Report(state, client.events);
}

// Reads every node's name and text through the interface, as a host walking the tree does.
int64_t Walk(IDispatchXMLModelNode* node) {
    int64_t nodes = 1;
    BSTR text = nullptr;
    node->GetName(&text);
    SysFreeString(text);
    text = nullptr;
    node->GetText(&text);
    SysFreeString(text);
    LONG count = 0;
    node->GetChildCount(&count);
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    for (index.lVal = 0; index.lVal < count; ++index.lVal) {
        IDispatchXMLModelNode* child = nullptr;
        if (node->GetChild(&index, &child) == S_OK) {
            nodes += Walk(child);
            child->Release();
        }
    }
    return nodes;
}

// Loads the document into the model, walks it and saves it to `target`.
bool LoadWalkSave(Ostrel::HExternalXMLModel* model, const PathString& path,
                  const PathString& target) {
    IDispatchXMLModelNode* root = nullptr;
    const bool done = model->Load(path.text) == S_OK && model->GetRoot(&root) == S_OK &&
                      Walk(root) > 0 && model->Save(target.text) == S_OK;
    if (root != nullptr) {
        root->Release();
    }
    return done;
}

// Each thread loads, walks and saves a document of its own with a model of its own; the rate is
// documents per second of wall time, all threads together.
void ThreadsThroughObjects(benchmark::State& state) {
    ModelReference reference;
    PathString path(threadDocumentPath);
    PathString target(scratch + "/thread-" + std::to_string(state.thread_index()) + ".xml");
    for (auto _ : state) {
        if (!LoadWalkSave(reference.model, path, target)) {
            state.SkipWithError("a load, walk or save failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// The same work as that many threads, done by one thread in turn with as many models: the rate
// that serialised work over that many trees can reach, whose memory no longer fits where one
// tree's did. The threads' rows are held against it to tell the door's cost from the memory's.
void ModelsInTurn(benchmark::State& state) {
    std::vector<std::unique_ptr<ModelReference>> references;
    std::vector<std::unique_ptr<PathString>> targets;
    for (int64_t i = 0; i < state.range(0); ++i) {
        references.push_back(std::make_unique<ModelReference>());
        targets.push_back(
            std::make_unique<PathString>(scratch + "/turn-" + std::to_string(i) + ".xml"));
    }
    PathString path(threadDocumentPath);
    for (auto _ : state) {
        for (size_t i = 0; i < references.size(); ++i) {
            if (!LoadWalkSave(references[i]->model, path, *targets[i])) {
                state.SkipWithError("a load, walk or save failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

bool WriteThreadDocument() {
    threadDocumentPath = scratch + "/thread-document.xml";
    FILE* out = std::fopen(threadDocumentPath.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    Ostrel::Bench::FileCloser closer(out);
    return Ostrel::Bench::DocumentGenerator(out, 1).WriteRecords(kThreadDocumentBytes) &&
           closer.Close();
}

// Registers the built type library in a registry of this run's own, so that the late-bound
// calls find it as a host's calls do and the user's registry is never touched.
bool RegisterTypeLibrary() {
    setenv("PRAVELL_REGISTRY", (scratch + "/registry").c_str(), 1);
    std::string path = PRAVELL_TYPE_LIBRARY;
    std::vector<OLECHAR> wide(path.begin(), path.end());
    wide.push_back(0);
    ITypeLib* library = nullptr;
    if (LoadTypeLib(wide.data(), &library) != S_OK) {
        return false;
    }
    const bool registered = RegisterTypeLib(library, wide.data(), nullptr) == S_OK;
    library->Release();
    return registered;
}

bool TakeOption(const std::string& argument, const std::string& prefix, std::string& value) {
    if (argument.rfind(prefix, 0) != 0) {
        return false;
    }
    value = argument.substr(prefix.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (!TakeOption(argv[i], "--document=", documentPath) &&
            !TakeOption(argv[i], "--scratch=", scratch)) {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (documentPath.empty() || scratch.empty() || !ReadFileBytes(documentPath, documentBytes)) {
        std::fprintf(stderr, "usage: automation_benchmarks --document=FILE --scratch=DIR "
                             "[benchmark options]\n");
        return 2;
    }
    if (!RegisterTypeLibrary()) {
        std::fprintf(stderr, "automation_benchmarks: cannot register %s\n", PRAVELL_TYPE_LIBRARY);
        return 1;
    }
    if (!WriteThreadDocument()) {
        std::fprintf(stderr, "automation_benchmarks: cannot write the threads' document\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("stream/expat", StreamExpat)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("stream/pravell", StreamPravell)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("call/direct", CallDirect);
    benchmark::RegisterBenchmark("call/invoke", CallLateBound);
    benchmark::RegisterBenchmark("load/object", LoadThroughObject)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("save/object", SaveThroughObject)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("stream/object", StreamThroughObject)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("threads", ThreadsThroughObjects)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->ThreadRange(1, 4);
    benchmark::RegisterBenchmark("models-in-turn", ModelsInTurn)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Arg(2)
        ->Arg(4);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
