// A syntax error: nothing runs at all.
WScript.Echo("all passed"
