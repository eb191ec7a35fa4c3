// Drives XP_ProgressBar the way a late-bound JScript client does; prints one line per check and
// ends with exit code 1 on any mismatch.
var failures = 0;
function check(what, actual, expected) {
    var ok = actual === expected;
    WScript.Echo((ok ? "ok " : "FAIL ") + what + ": " + actual + (ok ? "" : " expected " + expected));
    if (!ok) failures++;
}
// The run-time error number the call raised, 0 when it raised none.
function errorOf(call) {
    try {
        call();
        return 0;
    } catch (e) {
        return e.number & 0xFFFF;
    }
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
check("Value with Max 0: division by zero", errorOf(function () { bar.Max = 0; bar.Value = 10; }), 11);
bar.Max = 100;
check("the position kept after the failed write", bar.Value, 25);
check("Value whose hundredfold leaves 32 bits: overflow", errorOf(function () { bar.Value = 21474837; }), 6);

// DrawProgressBar draws the style: a hatch style beyond 16 bits fails the custom brush.
bar.Scrolling = 7;
bar.BrushStyle = 40000;
check("DrawProgressBar with a hatch style beyond 16 bits: overflow", errorOf(function () { bar.DrawProgressBar(); }), 6);
bar.BrushStyle = 4;
check("DrawProgressBar with a hatch style", errorOf(function () { bar.DrawProgressBar(); }), 0);

check("pDraw onto no device context: refused", errorOf(function () { bar.pDraw(0); }), 5);
check("DrawLine onto no device context: refused", errorOf(function () { bar.DrawLine(0, 0, 10, 0, 12345, 0); }), 5);
check("DrawLine onto the control's own surface", errorOf(function () { bar.DrawLine(0, 0, 10, 0, bar.hdc, 0); }), 0);

check("Font size in points", Math.round(bar.Font.Size), 8);
check("Font weight", bar.Font.Bold, false);
var font = bar.Font;
font.Size = 12;
check("Font is the control's own object", bar.Font.Size, 12);
WScript.Echo("done");
WScript.Quit(failures === 0 ? 0 : 1);
