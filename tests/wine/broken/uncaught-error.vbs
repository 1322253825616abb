' An error nobody catches: Wine's script host prints nothing more and exits 0.
WScript.Echo "before"
CreateObject "No.Such.Thing"
WScript.Echo "all passed"
