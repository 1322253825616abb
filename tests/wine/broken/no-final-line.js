// Exits 0 without the final line.
WScript.Echo("1 failure(s)");
WScript.Quit(0);
