' Drives XP_ProgressBar as a late-bound VBScript client does, passing variables by reference to
' DrawGradient and reading the resolved colours back; exit code 1 on any mismatch.
Dim failures : failures = 0
Sub Check(what, actual, expected)
    If actual = expected Then
        WScript.Echo "ok " & what & ": " & actual
    Else
        WScript.Echo "FAIL " & what & ": " & actual & " expected " & expected
        failures = failures + 1
    End If
End Sub

Dim bar : Set bar = CreateObject("Project1.XP_ProgressBar")
Check "Max", bar.Max, 100
bar.Value = 37
Check "Value", bar.Value, 37
bar.ShowText = True
Check "ShowText", bar.ShowText, True
bar.Orientation = 1
Check "Orientation", bar.Orientation, 1

Dim dc : dc = bar.hdc
Dim highlight : highlight = bar.Color
Dim endColor : endColor = &H8000000D
Dim startColor : startColor = &HFFFFFF
bar.DrawGradient endColor, startColor, 0, 0, 10, 2, dc
Check "end colour resolved in place", endColor, highlight
Check "start colour unchanged", startColor, &HFFFFFF
Dim horizontal : horizontal = True
endColor = &H8000000D
bar.DrawGradient endColor, startColor, 0, 0, 10, 2, dc, horizontal
Check "resolved with bH given", endColor, highlight

Dim x : x = 1
Dim y : y = 2
On Error Resume Next
bar.Value = 21474837
Check "overflow reported", Err.Number, 6
Err.Clear
bar.DrawLine x, y, 5, y, dc, startColor
Check "DrawLine with variables on the control's own surface", Err.Number, 0
Err.Clear
bar.DrawLine x, y, 5, y, 12345, startColor
Check "DrawLine on a handle that is no device context", Err.Number, 5
Err.Clear
endColor = &H8000000D
bar.DrawGradient endColor, startColor, 0, 0, 10, 2, 12345
Check "DrawGradient on no device context", Err.Number, 5
Check "colours left as they were", endColor, &H8000000D
On Error GoTo 0
Check "Value kept after the failed write", bar.Value, 37

WScript.Echo "done"
WScript.Quit failures
