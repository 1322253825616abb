' The document model from VBScript: load a document, walk to a node, read an attribute and a
' text, and read the description of a load that fails. Run: cscript //nologo model.vbs
' Prints:
'   b1: Dune
'   Failed to open file: missing.xml
Dim model : Set model = CreateObject("Corvantis.XMLModel")
model.LoadFromString "<catalog><book id='b1'><title>Dune</title></book></catalog>"
Dim book : Set book = model.GetRoot().GetChild(0).GetChild("book")
WScript.Echo book.GetAttribute("id") & ": " & book.GetChild("title").GetText()
On Error Resume Next
model.Load "missing.xml"
WScript.Echo Err.Description
