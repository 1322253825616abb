// The two classes as a JScript user reaches them: by programmatic identifier, every call by
// name, arguments by value. The data suites of the Linux tests are walked too, and every answer
// must be the Linux build's. Prints "all passed" last and quits 0 only when every check held.
var failures = 0;
var fso = new ActiveXObject("Scripting.FileSystemObject");

function check(name, actual, expected) {
    if (actual !== expected) {
        WScript.Echo("FAIL " + name + ": got [" + actual + "] expected [" + expected + "]");
        failures++;
    }
}
function hex(n) { return (n >>> 0).toString(16).toUpperCase(); }
// The description of the error the call raises, or "no error".
function errorOf(call) {
    try {
        call();
    } catch (e) {
        return hex(e.number) + " " + e.description;
    }
    return "no error";
}
// A file as the model reads it: its bytes through the ANSI code page, as the model hands its
// UTF-8 text to hosts.
function readBytes(path) {
    if (fso.GetFile(path).Size === 0) return "";
    var stream = fso.OpenTextFile(path, 1, false, 0);
    var text = stream.ReadAll();
    stream.Close();
    return text;
}
function exists(path) { return fso.FileExists(path); }
// The names of a data folder's files (listed in its files.txt) that end in `extension`, without it.
function cases(folder, extension) {
    var names = lines(readBytes(folder + "\\files.txt"));
    var result = [];
    for (var i = 0; i < names.length; i++) {
        var at = names[i].length - extension.length;
        if (at > 0 && names[i].substring(at) === extension) result.push(names[i].substring(0, at));
    }
    return result;
}
function lines(text) { return text.replace(/\n$/, "").split("\n"); }

function newModel() { return new ActiveXObject("Corvantis.XMLModel"); }

// Every document of the Linux suite loads from its file and fails with exactly NAME.error or
// saves as exactly NAME.saved (given both, NAME.saved is what was built up to the failure).
function documentsSuite() {
    var names = cases("documents", ".xml");
    for (var i = 0; i < names.length; i++) {
        var base = "documents\\" + names[i];
        var model = newModel();
        var error = errorOf(function () { model.Load(base + ".xml"); });
        if (exists(base + ".error")) {
            check(base + " load", error, "80004005 " + readBytes(base + ".error"));
        } else {
            check(base + " load", error, "no error");
        }
        if (exists(base + ".saved")) {
            check(base + " saved", model.SaveToString(), readBytes(base + ".saved"));
        }
    }
    check("documents walked", names.length > 20, true);
}

// What a client sees of a document: one line an event as the Linux tests log them (line feeds and
// carriage returns written as \n and \r), except that
// a script cannot ask the attributes object for names by position (that needs two results), so
// attributes are compared by count and by value looked up under the logged name.
function eventsSuite() {
    var names = cases("events", ".xml");
    for (var i = 0; i < names.length; i++) {
        var base = "events\\" + names[i];
        var expected = lines(readBytes(base + ".events"));
        var log = [];
        var client = recordingClient(log, expected);
        var parser = new ActiveXObject("Corvantis.StreamingXMLParser");
        var error = errorOf(function () { parser.ParseFile(base + ".xml", client); });
        var failed = expected.join("\n").indexOf("\nParseError ") >= 0;
        check(base + " answer", error.indexOf(failed ? "80004005" : "no error") === 0, true);
        for (var j = 0; j < log.length; j++) {
            log[j] = log[j].replace(/\n/g, "\\n").replace(/\r/g, "\\r");
        }
        check(base + " events", log.join("\n"), expected.join("\n"));
    }
}

// The attribute list of a logged start tag, "[a=1,b=2]", as names and values.
function loggedAttributes(line) {
    var list = line.replace(/^[^\[]*\[/, "").replace(/\]$/, "");
    var pairs = list === "" ? [] : list.split(",");
    var result = [];
    for (var i = 0; i < pairs.length; i++) {
        var at = pairs[i].indexOf("=");
        result.push({ name: pairs[i].substring(0, at), value: pairs[i].substring(at + 1) });
    }
    return result;
}
function recordingClient(log, expected) {
    function describe(attributes) {
        // The logged line tells which names to ask for; the object must answer each of them and
        // hold no more than those.
        var logged = loggedAttributes(expected[log.length] || "");
        var parts = [];
        for (var i = 0; i < logged.length; i++) {
            parts.push(logged[i].name + "=" + attributes.GetValue(logged[i].name));
        }
        if (attributes.GetCount() !== logged.length) parts.push("count " + attributes.GetCount());
        return "[" + parts.join(",") + "]";
    }
    return {
        StartDocument: function () { log.push("StartDocument"); },
        EndDocument: function () { log.push("EndDocument"); },
        StartElement: function (name, attributes) {
            log.push("StartElement " + name + " " + describe(attributes));
        },
        EndElement: function (name) { log.push("EndElement " + name); },
        Characters: function (text) { log.push("Characters '" + text + "'"); },
        Comment: function (text) { log.push("Comment '" + text + "'"); },
        DocumentType: function (name, attributes) {
            log.push("DocumentType " + name + " " + describe(attributes));
        },
        ParseError: function (message) { log.push("ParseError '" + message + "'"); }
    };
}

function treeSuite() {
    var model = newModel();
    model.LoadFromString("<catalog><book id='b1' lang='en'><title>Dune</title></book>" +
                         "<book id='b2'><title>Emma</title></book></catalog>");
    var root = model.GetRoot();
    var catalog = root.GetChild(0);
    check("root has the document element", root.GetChildCount(), 1);
    check("document element", catalog.GetName(), "catalog");
    check("children", catalog.GetChildCount(), 2);
    var book = catalog.GetChild("BOOK");
    check("child by name ignores case", book.GetAttributeByName("id"), "b1");
    check("same element, same object", catalog.GetChild(0) === book, true);
    check("parent", book.GetParent() === catalog, true);
    check("parent of the root", root.GetParent(), null);
    check("attribute by index", book.GetAttribute(1), "en");
    check("attribute by name", book.GetAttribute("lang"), "en");
    check("absent attribute by name is empty (S_FALSE)", book.GetAttribute("none"), "");
    check("absent attribute by GetAttributeByName",
          errorOf(function () { book.GetAttributeByName("none"); }).substring(0, 8), "80070057");
    check("attribute index out of range",
          errorOf(function () { book.GetAttribute(2); }).substring(0, 8), "80070057");
    check("attribute name by index", book.GetAttributeName(0), "id");
    check("attribute value by index", book.GetAttributeValue(1), "en");
    check("attribute count", book.GetAttributeCount(), 2);
    check("HasAttribute is all bits set", book.HasAttribute("ID"), true);
    check("HasAttribute absent", book.HasAttribute("x"), false);
    check("child text", book.GetChild("title").GetText(), "Dune");
    check("missing child", errorOf(function () { book.GetChild("none"); }).substring(0, 8),
          "80004005");
    check("string key '0' is a name",
          errorOf(function () { catalog.GetChild("0"); }).substring(0, 8), "80004005");

    // Editing: values are stored through the value conversion, numbers in their double form.
    var added = catalog.AddChild("note");
    added.SetText("abc");
    check("text string", added.GetText(), "abc");
    added.SetText(3);
    check("text integer", added.GetText(), "3.");
    added.SetText(2.5);
    check("text double", added.GetText(), "2.5");
    added.SetText(true);
    check("text boolean", added.GetText(), "-1.");
    added.SetText("00123");
    check("text string of digits stays text", added.GetText(), "00123");
    check("text null", errorOf(function () { added.SetText(null); }).substring(0, 8), "80070057");
    added.AddAttribute("n", 42);
    check("attribute integer", added.GetAttribute("n"), "42.");
    added.AddAttributeText("t", "3");
    check("attribute text", added.GetAttribute("t"), "3");
    added.SetAttribute("t", "4");
    check("SetAttribute replaces", added.GetAttributeByName("t"), "4");
    added.SetName("memo");
    check("renamed", catalog.GetChild(2).GetName(), "memo");
    check("saved edit", model.SaveToString().indexOf("\n   <memo n=\"42.\" t=\"4\">00123</memo>\n") > 0,
          true);

    // WriteTo a script object: the declaration, then the element line by line. The pieces are
    // byte arrays, which Wine's JScript holds as opaque values (neither typeof nor VBArray reads
    // them), so only their number is checked here.
    var pieces = 0;
    book.WriteTo({ Write: function (data) { pieces++; } });
    check("WriteTo pieces", pieces, 4);

    // Clear detaches every node object but the root's.
    model.Clear();
    check("detached after Clear", errorOf(function () { book.GetName(); }).substring(0, 8),
          "80004005");
    check("root still works", root.GetChildCount(), 0);
}

function savingSuite() {
    var model = newModel();
    model.LoadFromString("<a><b x='1'>t</b></a>");
    var text = model.SaveToString();
    check("string save", text,
          "<?xml version='1.0' encoding='UTF-8' ?>\n<a>\n   <b x=\"1\">t</b>\n</a>\n");
    model.Save("saved.xml");
    check("file save has CR LF line ends", readBytes("saved.xml"), text.replace(/\n/g, "\r\n"));
    var again = newModel();
    again.Load("saved.xml");
    check("file reload", again.SaveToString(), text);
    model.SaveCompressed("saved.pxc");
    var expanded = newModel();
    expanded.LoadCompressed("saved.pxc");
    check("container round trip", expanded.SaveToString(), text);
    check("container is not text", readBytes("saved.pxc").indexOf("<a>") < 0, true);

    check("missing file", errorOf(function () { model.Load("missing.xml"); }),
          "80004005 Failed to open file: missing.xml");
    check("missing folder", errorOf(function () { model.Save("no\\such\\out.xml"); }),
          "80004005 Failed to create file: no\\such\\out.xml");
    check("malformed", errorOf(function () { model.LoadFromString("<a><b></a>"); }),
          "80004005 XML Parse failed: mismatched tag (Line: 1, Column: 8)");
    check("empty document", errorOf(function () { model.LoadFromString(""); }),
          "80004005 XML Parse failed: no element found (Line: 1, Column: 0)");
    check("failed load keeps the old file", readBytes("saved.xml"), text.replace(/\n/g, "\r\n"));

    // Text outside ASCII reaches a host through the ANSI code page: the model's UTF-8 bytes come
    // back one character a byte and go out again unchanged.
    var bytes = "\u00c3\u00a9";  // the UTF-8 bytes of an e with acute accent, as cp1252 characters
    model.LoadFromString("<a>" + bytes + "</a>");
    check("UTF-8 bytes round trip", model.GetRoot().GetChild(0).GetText(), bytes);

    // A character the script writes goes in through the ANSI code page and reads back as written;
    // every document that leaves the process holds it as UTF-8 (read here one character a byte)
    // and loads again, its text then read as any loaded UTF-8 is. A script here cannot join the
    // pieces of a transfer: the compiled host's probes hold transfers and WriteTo. XML the script
    // writes parses.
    var accent = "\u00e9";
    var element = model.GetRoot().GetChild(0);
    element.SetText(accent);
    check("written text in memory", element.GetText(), accent);
    check("written text in a string", model.SaveToString().indexOf(">" + accent + "<") > 0, true);
    model.Save("written.xml");
    check("written text saved as UTF-8", readBytes("written.xml").indexOf(">" + bytes + "<") > 0,
          true);
    model.SaveCompressed("written.pxc");
    var loads = [function (again) { again.Load("written.xml"); },
                 function (again) { again.LoadCompressed("written.pxc"); },
                 function (again) { again.LoadFromString("<a>" + accent + "</a>"); }];
    for (var i = 0; i < loads.length; i++) {
        var again = newModel();
        loads[i](again);
        check("written text loads again, way " + i, again.GetRoot().GetChild(0).GetText(), bytes);
    }
    var log = [];
    new ActiveXObject("Corvantis.StreamingXMLParser").ParseString(
        "<a>" + accent + "</a>", recordingClient(log, ["", "StartElement a []"]));
    check("written XML parses", log.join("\n"), "StartDocument\nStartElement a []\nCharacters '" +
          bytes + "'\nEndElement a\nEndDocument");
}

try {
    documentsSuite();
    eventsSuite();
    treeSuite();
    savingSuite();
} catch (e) {
    check("uncaught error", hex(e.number) + " " + e.description, "none");
}

if (failures > 0) {
    WScript.Echo(failures + " failure(s)");
    WScript.Quit(1);
}
WScript.Echo("all passed");
WScript.Quit(0);
