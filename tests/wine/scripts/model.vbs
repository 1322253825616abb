' The two classes as a VBScript user reaches them: by programmatic identifier, every call by
' name, variables passed by reference and literals by value, a class of the script as the
' streaming parser's client and as the sink of a node's WriteTo. Prints "all passed" last and
' quits 0 only when every check held.
Option Explicit
Dim failures : failures = 0
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")

Sub Check(name, actual, expected)
    If VarType(actual) <> VarType(expected) Then
        WScript.Echo "FAIL " & name & ": got type " & TypeName(actual) & " expected " & TypeName(expected)
        failures = failures + 1
    ElseIf actual <> expected Then
        WScript.Echo "FAIL " & name & ": got [" & actual & "] expected [" & expected & "]"
        failures = failures + 1
    End If
End Sub

' A file's bytes through the ANSI code page, as the model hands its UTF-8 text to hosts.
Function ReadBytes(path)
    ReadBytes = ""
    If fso.GetFile(path).Size = 0 Then Exit Function
    Dim stream : Set stream = fso.OpenTextFile(path, 1, False, 0)
    ReadBytes = stream.ReadAll()
    stream.Close
End Function

Function Lines(ByVal text)
    If Right(text, 1) = vbLf Then text = Left(text, Len(text) - 1)
    Lines = Split(text, vbLf)
End Function

Function Escaped(text)
    Escaped = Replace(Replace(text, vbLf, "\n"), vbCr, "\r")
End Function

' One line an event, as the Linux tests log them. The attributes object gives a script its
' values by name (GetValue) and its count; names by position come only with a second result, and
' the arrays of GetAttributes hold strings, which VBScript cannot index. So the logged line
' tells which names to ask for, and the object must answer each of them and hold no more.
Class RecordingClient
    Public log
    Public expected
    Private count
    Private Sub Class_Initialize()
        log = "" : count = 0
    End Sub
    Private Sub Add(line)
        log = log & Escaped(line) & vbLf
        count = count + 1
    End Sub
    Private Function Describe(attributes)
        Dim logged, pairs, i, at, text, name
        logged = expected(count)
        logged = Mid(logged, InStr(logged, "[") + 1)
        logged = Left(logged, Len(logged) - 1)
        text = "["
        If logged <> "" Then
            pairs = Split(logged, ",")
            For i = 0 To UBound(pairs)
                at = InStr(pairs(i), "=")
                name = Left(pairs(i), at - 1)
                If i > 0 Then text = text & ","
                text = text & name & "=" & attributes.GetValue(name)
            Next
            If attributes.GetCount() <> UBound(pairs) + 1 Then text = text & ",count " & attributes.GetCount()
        ElseIf attributes.GetCount() <> 0 Then
            text = text & "count " & attributes.GetCount()
        End If
        Describe = text & "]"
    End Function
    Public Sub StartDocument() : Add "StartDocument" : End Sub
    Public Sub EndDocument() : Add "EndDocument" : End Sub
    Public Sub StartElement(name, attributes)
        Add "StartElement " & name & " " & Describe(attributes)
    End Sub
    Public Sub EndElement(name) : Add "EndElement " & name : End Sub
    Public Sub Characters(text) : Add "Characters '" & text & "'" : End Sub
    Public Sub Comment(text) : Add "Comment '" & text & "'" : End Sub
    Public Sub DocumentType(name, attributes)
        Add "DocumentType " & name & " " & Describe(attributes)
    End Sub
    Public Sub ParseError(message) : Add "ParseError '" & message & "'" : End Sub
End Class

' A sink for WriteTo. The bytes arrive as byte arrays (vbArray + vbByte), which VBScript on
' Windows reads with LenB and AscB(MidB(...)); Wine 8's VBScript has neither function and cannot
' index or bound such an array, so here the sink checks the type of every piece it receives and
' the C++ stand-in for a script's stream checks the bytes.
Class ByteSink
    Public writes
    Public types
    Private Sub Class_Initialize()
        writes = 0 : types = ""
    End Sub
    Public Sub Write(data)
        writes = writes + 1
        If VarType(data) <> vbArray + vbByte Then types = types & " " & VarType(data)
    End Sub
End Class

' The events data suite through a VBScript class as client: every log must be the Linux one.
Sub EventsSuite()
    Dim names, i, base, expected, client, parser, answer
    names = Lines(ReadBytes("events\files.txt"))
    For i = 0 To UBound(names)
        If Right(names(i), 4) = ".xml" Then
            base = "events\" & Left(names(i), Len(names(i)) - 4)
            expected = ReadBytes(base & ".events")
            Set client = New RecordingClient
            client.expected = Lines(expected)
            Set parser = CreateObject("Corvantis.StreamingXMLParser")
            On Error Resume Next
            parser.ParseFile base & ".xml", client
            answer = Hex(Err.Number)
            On Error GoTo 0
            If InStr(expected, vbLf & "ParseError ") > 0 Then
                Check base & " answer", answer, "80004005"
            Else
                Check base & " answer", answer, "0"
            End If
            Check base & " events", client.log, expected
        End If
    Next
End Sub

Sub TreeSuite()
    Dim model, root, catalog, book, again, added, key, num, desc
    Set model = CreateObject("Corvantis.XMLModel")
    model.LoadFromString "<catalog><book id='b1' lang='en'><title>Dune</title></book>" & _
                         "<book id='b2'><title>Emma</title></book></catalog>"
    Set root = model.GetRoot()
    Set catalog = root.GetChild(0)
    Check "document element", catalog.GetName(), "catalog"
    Check "children", catalog.GetChildCount(), CLng(2)
    key = 1
    Set book = catalog.GetChild(key)
    Check "child by an integer variable", book.GetAttribute("id"), "b2"
    key = "Book"
    Set book = catalog.GetChild(key)
    Check "child by a name variable, letter case ignored", book.GetAttribute("id"), "b1"
    Set again = catalog.GetChild(0)
    Check "same element, same object", again Is book, True
    Check "parent", book.GetParent() Is catalog, True
    Check "parent of the root", root.GetParent() Is Nothing, True
    key = 0
    Check "attribute by an integer variable", book.GetAttribute(key), "b1"
    Check "attribute by a literal index", book.GetAttribute(1), "en"
    key = "LANG"
    Check "attribute by a name variable", book.GetAttribute(key), "en"
    Check "absent attribute is empty (S_FALSE)", book.GetAttribute("none"), ""
    Check "attribute name by index", book.GetAttributeName(1), "lang"
    Check "attribute value by index", book.GetAttributeValue(0), "b1"
    Check "attribute count", book.GetAttributeCount(), CLng(2)
    Check "HasAttribute", book.HasAttribute("Id"), True
    Check "HasAttribute is all bits set", CInt(book.HasAttribute("id")), -1
    Check "HasAttribute absent", book.HasAttribute("x"), False

    On Error Resume Next
    book.GetAttributeByName "none"
    num = Hex(Err.Number) : Err.Clear
    ' Node operations raise no error information: VBScript reports their E_INVALIDARG as its own
    ' error 5 (invalid procedure call or argument) and E_FAIL as it is.
    Check "absent attribute by GetAttributeByName", num, "5"
    book.GetAttributeValue 5
    num = Hex(Err.Number) : Err.Clear
    Check "attribute index out of range", num, "5"
    catalog.GetChild "0"
    num = Hex(Err.Number) : Err.Clear
    Check "the string 0 is a name", num, "80004005"
    On Error GoTo 0

    ' Values through the value conversion: numbers in their double form, strings as text.
    Set added = catalog.AddChild("note")
    Dim values, expected, i
    values = Array("abc", 3, 2.5, True, False, CByte(7), CLng(-12), 1.0E+20, _
                   DateSerial(2020, 1, 2), DateSerial(2020, 1, 2) + TimeSerial(12, 0, 0), _
                   Empty, "00123", CCur(1.5))
    expected = Array("abc", "3.", "2.5", "-1.", "0.", "7.", "-12.", "1.e+20", _
                     "43832.", "43832.5", "0.", "00123", "1.5")
    For i = 0 To UBound(values)
        added.SetText values(i)
        Check "text of " & TypeName(values(i)) & " " & values(i), added.GetText(), expected(i)
        added.SetText(values(i))
        Check "text of a literal " & TypeName(values(i)), added.GetText(), expected(i)
    Next
    On Error Resume Next
    added.SetText Null
    num = Hex(Err.Number) : Err.Clear
    On Error GoTo 0
    Check "text of Null", num, "5"
    added.AddAttribute "n", 42
    Check "attribute of an integer", added.GetAttribute("n"), "42."
    added.AddAttributeText "t", "3"
    Check "attribute of text", added.GetAttributeByName("t"), "3"
    added.SetAttribute "t", "4"
    Check "SetAttribute replaces", added.GetAttributeByName("t"), "4"
    added.SetName "memo"
    Check "renamed", catalog.GetChild(2).GetName(), "memo"

    ' WriteTo a script class: the declaration, then the element line by line.
    Dim sink : Set sink = New ByteSink
    book.WriteTo sink
    Check "WriteTo pieces", sink.writes, 4
    Check "WriteTo pieces are byte arrays", sink.types, ""

    ' Clear detaches every node object but the root's.
    model.Clear
    On Error Resume Next
    book.GetName
    num = Hex(Err.Number) : Err.Clear
    On Error GoTo 0
    Check "detached after Clear", num, "80004005"
    Check "root still works", root.GetChildCount(), CLng(0)
End Sub

Sub SavingSuite()
    Dim model, text, again, num, desc
    Set model = CreateObject("Corvantis.XMLModel")
    model.LoadFromString "<a><b x='1'>t</b></a>"
    text = model.SaveToString()
    Check "string save", text, "<?xml version='1.0' encoding='UTF-8' ?>" & vbLf & "<a>" & vbLf & _
        "   <b x=""1"">t</b>" & vbLf & "</a>" & vbLf
    model.Save "saved.xml"
    Check "file save has CR LF line ends", ReadBytes("saved.xml"), Replace(text, vbLf, vbCrLf)
    Set again = CreateObject("Corvantis.XMLModel")
    again.Load "saved.xml"
    Check "file reload", again.SaveToString(), text
    model.SaveCompressed "saved.pxc"
    again.LoadCompressed "saved.pxc"
    Check "container round trip", again.SaveToString(), text

    On Error Resume Next
    model.Load "missing.xml"
    num = Hex(Err.Number) : desc = Err.Description : Err.Clear
    Check "missing file", num & " " & desc, "80004005 Failed to open file: missing.xml"
    model.Save "no\such\out.xml"
    num = Hex(Err.Number) : desc = Err.Description : Err.Clear
    Check "missing folder", num & " " & desc, "80004005 Failed to create file: no\such\out.xml"
    model.LoadFromString "<a>" & vbLf & "<b></a>"
    num = Hex(Err.Number) : desc = Err.Description : Err.Clear
    Check "malformed", num & " " & desc, "80004005 XML Parse failed: mismatched tag (Line: 2, Column: 5)"
    model.LoadCompressed "saved.xml"
    num = Hex(Err.Number) : Err.Clear
    Check "text is no container", num, "80004005"
    On Error GoTo 0
    Check "failed save keeps the old file", ReadBytes("saved.xml"), Replace(text, vbLf, vbCrLf)

    ' Text outside ASCII reaches a host through the ANSI code page: the model's UTF-8 bytes come
    ' back one character a byte and go out again unchanged.
    Dim bytes : bytes = Chr(&HC3) & Chr(&HA9)
    model.LoadFromString "<a>" & bytes & "</a>"
    Check "UTF-8 bytes round trip", model.GetRoot().GetChild(0).GetText(), bytes
    model.Save "accent.xml"
    again.Load "accent.xml"
    Check "UTF-8 bytes through a file", again.GetRoot().GetChild(0).GetText(), bytes

    ' A character the script writes goes in through the ANSI code page and reads back as written;
    ' every document that leaves the process holds it as UTF-8 (read here one character a byte)
    ' and loads again, its text then read as any loaded UTF-8 is. A script here cannot join the
    ' pieces of a transfer: the compiled host's probes hold transfers and WriteTo. XML the script
    ' writes parses.
    Dim accent, element, parser, client
    accent = Chr(&HE9)
    Set element = model.GetRoot().GetChild(0)
    element.SetText accent
    Check "written text in memory", element.GetText(), accent
    Check "written text in a string", InStr(model.SaveToString(), ">" & accent & "<") > 0, True
    model.Save "written.xml"
    Check "written text saved as UTF-8", InStr(ReadBytes("written.xml"), ">" & bytes & "<") > 0, True
    again.Load "written.xml"
    Check "written text through a file", again.GetRoot().GetChild(0).GetText(), bytes
    model.SaveCompressed "written.pxc"
    again.LoadCompressed "written.pxc"
    Check "written text through a container", again.GetRoot().GetChild(0).GetText(), bytes
    model.LoadFromString "<a>" & accent & "</a>"
    Check "written XML loads", model.GetRoot().GetChild(0).GetText(), bytes
    Set client = New RecordingClient
    client.expected = Array("", "StartElement a []")
    Set parser = CreateObject("Corvantis.StreamingXMLParser")
    parser.ParseString "<a>" & accent & "</a>", client
    Check "written XML parses", client.log, "StartDocument" & vbLf & "StartElement a []" & vbLf & _
        "Characters '" & bytes & "'" & vbLf & "EndElement a" & vbLf & "EndDocument" & vbLf
End Sub

EventsSuite
TreeSuite
SavingSuite

If failures > 0 Then
    WScript.Echo failures & " failure(s)"
    WScript.Quit 1
End If
WScript.Echo "all passed"
WScript.Quit 0
