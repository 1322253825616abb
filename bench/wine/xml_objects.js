// One measured run of a script host's work on a document, through one subject:
//   cscript //nologo xml_objects.js SUBJECT DOCUMENT OUTPUT [verify]
// SUBJECT is "model" (Corvantis.XMLModel), "dom" (the platform's Msxml2.DOMDocument.3.0) or
// "stream" (Corvantis.StreamingXMLParser). A tree subject loads DOCUMENT, walks every element
// (its name, its own text, every attribute's name and value) and saves to OUTPUT; the streaming
// parser parses DOCUMENT into a client that counts its events. Each phase is timed here, around
// the calls alone, and printed as "PHASE SECONDS"; then what was counted, as "WHAT NUMBER", so
// that the runs of the subjects can be held against each other. With "verify", a tree subject
// also loads its saved file again and prints "reloaded ELEMENTS". The last line is "done":
// Wine's cscript prints nothing and exits 0 on an uncaught error, so a run without it failed.
// A caught failure prints "failed PHASE: NUMBER DESCRIPTION" and quits 1.

function hex(n) { return (n >>> 0).toString(16).toUpperCase(); }

var phase = "start";
function fail(e) {
    WScript.Echo("failed " + phase + ": " + hex(e.number) + " " + e.description);
    WScript.Quit(1);
}

// Milliseconds are what Date offers; the phases measured last long enough for them.
function timed(name, work) {
    phase = name;
    var started = new Date();
    var result = work();
    WScript.Echo(name + " " + ((new Date() - started) / 1000).toFixed(3));
    return result;
}

function tally() { return { elements: 0, attributes: 0, names: 0 }; }

// Our model: the root node holds the document element. Every element's text is its own
// character data, and its children are elements.
function newModel() { return new ActiveXObject("Corvantis.XMLModel"); }
function loadModel(path) {
    var model = newModel();
    model.Load(path);
    return model;
}
function walkModelNode(node, counts) {
    counts.elements++;
    counts.names += node.GetName().length;
    var text = node.GetText();
    var attributes = node.GetAttributeCount();
    counts.attributes += attributes;
    for (var i = 0; i < attributes; i++) {
        counts.names += node.GetAttributeName(i).length;
        var value = node.GetAttributeValue(i);
    }
    var children = node.GetChildCount();
    for (var j = 0; j < children; j++) walkModelNode(node.GetChild(j), counts);
    return text;
}
function walkModel(model) {
    var counts = tally();
    var root = model.GetRoot();
    var children = root.GetChildCount();
    for (var i = 0; i < children; i++) walkModelNode(root.GetChild(i), counts);
    return counts;
}

// The platform's document object, created as a script creates it; WScript.CreateObject is the
// host's own route should the language's constructor be refused.
function newDom() {
    var dom;
    try {
        dom = new ActiveXObject("Msxml2.DOMDocument.3.0");
    } catch (e) {
        dom = WScript.CreateObject("Msxml2.DOMDocument.3.0");
    }
    dom.async = false;
    // No document type is declared in the benchmark documents, and nothing outside is read.
    dom.validateOnParse = false;
    dom.resolveExternals = false;
    return dom;
}
function loadDom(path) {
    var dom = newDom();
    if (!dom.load(path)) {
        var error = dom.parseError;
        throw { number: error.errorCode, description: error.reason + " (line " + error.line + ")" };
    }
    return dom;
}
// Every value read is kept in a variable: Wine's node list faults when a call's result is
// dropped. An element's text is read as our model keeps it: its own character data, from its text and
// CDATA children. The object's `text` property would be the text of every descendant, which read
// on every element reads the document's text once for each level of depth.
function walkDomElement(element, counts) {
    counts.elements++;
    counts.names += element.nodeName.length;
    var attributes = element.attributes;
    var count = attributes.length;
    counts.attributes += count;
    for (var i = 0; i < count; i++) {
        var attribute = attributes.item(i);
        counts.names += attribute.nodeName.length;
        var value = attribute.nodeValue;
    }
    var children = element.childNodes;
    var length = children.length;
    var text = "";
    for (var j = 0; j < length; j++) {
        var child = children.item(j);
        var type = child.nodeType;
        if (type === 1) {
            walkDomElement(child, counts);
        } else if (type === 3 || type === 4) {
            text += child.nodeValue;
        }
    }
    return text;
}
function walkDom(dom) {
    var counts = tally();
    walkDomElement(dom.documentElement, counts);
    return counts;
}

var trees = {
    model: { load: loadModel, walk: walkModel, save: function (model, path) { model.Save(path); } },
    dom: { load: loadDom, walk: walkDom, save: function (dom, path) { dom.save(path); } }
};

function measureTree(subject, document, output, verify) {
    var tree = timed("load", function () { return subject.load(document); });
    var counts = timed("walk", function () { return subject.walk(tree); });
    timed("save", function () { subject.save(tree, output); });
    tree = null;
    CollectGarbage();
    WScript.Echo("elements " + counts.elements);
    WScript.Echo("attributes " + counts.attributes);
    WScript.Echo("names " + counts.names);
    if (verify) {
        phase = "reload";
        WScript.Echo("reloaded " + subject.walk(subject.load(output)).elements);
    }
}

function measureStream(document) {
    var events = 0;
    var elements = 0;
    function count() { events++; }
    var client = {
        StartDocument: count,
        EndDocument: count,
        StartElement: function (name, attributes) { events++; elements++; },
        EndElement: count,
        Characters: count,
        Comment: count,
        DocumentType: count,
        ParseError: count
    };
    var parser = new ActiveXObject("Corvantis.StreamingXMLParser");
    timed("parse", function () { parser.ParseFile(document, client); });
    WScript.Echo("elements " + elements);
    WScript.Echo("events " + events);
}

try {
    var args = WScript.Arguments;
    var subject = args.Item(0);
    if (subject === "stream") {
        measureStream(args.Item(1));
    } else if (trees[subject]) {
        measureTree(trees[subject], args.Item(1), args.Item(2),
                    args.length > 3 && args.Item(3) === "verify");
    } else {
        throw { number: 0x80070057, description: "no subject " + subject };
    }
} catch (e) {
    fail(e);
}
WScript.Echo("done");
WScript.Quit(0);
