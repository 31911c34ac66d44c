// The driver object from JScript, as an automation client writes it:
//   cscript //nologo trelmo.js <port number> <board serial number>
// The script host exits with 0 even when a script fails, so only the last line, "VERDICT OK",
// tells that every step gave what the board holds.
var port = parseInt(WScript.Arguments(0), 10);
var serial = parseInt(WScript.Arguments(1), 10);
var failures = 0;

function check(what, actual, expected) {
    var ok = actual === expected;
    WScript.Echo((ok ? "ok   " : "FAIL ") + what + " = " + actual +
                 (ok ? "" : ", expected " + expected));
    if (!ok)
        failures++;
}

var environment = new ActiveXObject("WScript.Shell").Environment("Process");
WScript.Echo("process " + environment("PROCESSOR_ARCHITECTURE"));

var trelmo = new ActiveXObject("Addin.Trelmo");
trelmo.SetDefaults();
trelmo.PortNumber = port;
check("PortNumber", trelmo.PortNumber, port);
check("ReadStatus", trelmo.ReadStatus(), 0);
check("SerialNumber", trelmo.SerialNumber, serial);
check("SoftVersion", trelmo.SoftVersion, "1.5");
check("MBPowerState", trelmo.MBPowerState, true);

trelmo.RelayStatus = 0x42;
check("RelaySetStatus", trelmo.RelaySetStatus(), 0);
trelmo.RelayStatus = 0;
check("ReadRelayStatus", trelmo.ReadRelayStatus(), 0);
check("RelayStatus", trelmo.RelayStatus, 0x42);
check("ResultCode", trelmo.ResultCode, 0);
trelmo.ClosePort();

WScript.Echo(failures == 0 ? "VERDICT OK" : "VERDICT FAILED");
