' The driver object from VBScript, as an automation client writes it:
'   cscript //nologo trelmo.vbs <port number> <board serial number>
' The script host exits with 0 even when a script fails, so only the last line, "VERDICT OK",
' tells that every step gave what the board holds.
Option Explicit
Dim port, serial, failures, environment, trelmo
port = CLng(WScript.Arguments(0))
serial = CLng(WScript.Arguments(1))
failures = 0

' Compares type and value: VBScript would take "0" for 0.
Sub Check(what, actual, expected)
    If TypeName(actual) = TypeName(expected) And actual = expected Then
        WScript.Echo "ok   " & what & " = " & actual
    Else
        WScript.Echo "FAIL " & what & " = " & actual & " (" & TypeName(actual) & "), expected " _
            & expected & " (" & TypeName(expected) & ")"
        failures = failures + 1
    End If
End Sub

Set environment = CreateObject("WScript.Shell").Environment("Process")
WScript.Echo "process " & environment("PROCESSOR_ARCHITECTURE")

Set trelmo = CreateObject("Addin.Trelmo")
trelmo.SetDefaults
trelmo.PortNumber = port
Check "PortNumber", trelmo.PortNumber, port
Check "ReadStatus", trelmo.ReadStatus, CLng(0)
Check "SerialNumber", trelmo.SerialNumber, serial
Check "SoftVersion", trelmo.SoftVersion, "1.5"
Check "MBPowerState", trelmo.MBPowerState, True

trelmo.RelayStatus = &H42
Check "RelaySetStatus", trelmo.RelaySetStatus, CLng(0)
trelmo.RelayStatus = 0
Check "ReadRelayStatus", trelmo.ReadRelayStatus, CLng(0)
Check "RelayStatus", trelmo.RelayStatus, CLng(&H42)
Check "ResultCode", trelmo.ResultCode, CLng(0)
trelmo.ClosePort

If failures = 0 Then
    WScript.Echo "VERDICT OK"
Else
    WScript.Echo "VERDICT FAILED"
End If
