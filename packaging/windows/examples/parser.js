// The streaming parser from JScript, with an object of the script as its client (every member
// the client lacks is simply not called). Run: cscript //nologo parser.js
// Prints:
//   a/0 b/1
var parser = new ActiveXObject("Corvantis.StreamingXMLParser");
var names = [];
parser.ParseString("<a><b x='1'/></a>", {
    StartElement: function (name, attributes) { names.push(name + "/" + attributes.GetCount()); }
});
WScript.Echo(names.join(" "));
