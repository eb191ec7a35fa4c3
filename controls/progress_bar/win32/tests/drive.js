// Drives XP_ProgressBar the way a late-bound JScript client does; prints one line per check and
// ends with exit code 1 on the first mismatch.
var failures = 0;
function check(what, actual, expected) {
    var ok = actual === expected;
    WScript.Echo((ok ? "ok " : "FAIL ") + what + ": " + actual + (ok ? "" : " expected " + expected));
    if (!ok) failures++;
}

var bar = new ActiveXObject("Project1.XP_ProgressBar");
check("Max", bar.Max, 100);
check("Min", bar.Min, 0);
check("Value", bar.Value, 0);
check("ShowText", bar.ShowText, false);
bar.Max = 200;
bar.Value = 50;
check("Value in 0..200", bar.Value, 50);
bar.Scrolling = 9;
check("Scrolling", bar.Scrolling, 9);
bar.Color = 0x123456;
check("Color", bar.Color, 0x123456);
bar.BrushStyle = 4;
var threw = false;
try {
    bar.Max = 0;
    bar.Value = 10;
} catch (e) {
    threw = true;
}
check("Value with Max 0 fails", threw, true);
bar.DrawProgressBar();
bar.pDraw(0);
bar.DrawLine(0, 0, 10, 0, 0, 0);
check("Font.Name is text", typeof bar.Font.Name, "string");
WScript.Echo("done");
WScript.Quit(failures === 0 ? 0 : 1);
