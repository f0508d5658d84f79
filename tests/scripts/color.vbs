' Sets the color image parameters, the sync master and overlay surfaces the way a script
' programmer would, with plain variables for the values the members hand back.
' Prints "color.vbs: passed" when every check holds.
Option Explicit

Dim failures, control, value, h, v, supported, board
failures = 0

Sub Check(condition, what)
    If condition Then
        WScript.Echo "ok   " & what
    Else
        WScript.Echo "FAIL " & what
        failures = failures + 1
    End If
End Sub

Set control = CreateObject("Corvid.Corvid")
On Error Resume Next

control.OpenDevice "SIM7300"
Check Err.Number = 0, "OpenDevice SIM7300 (&H" & Hex(Err.Number) & ")"
Err.Clear

Check control.ColorQueryInterface(3) = True, "the KV7300 offers image parameters"
control.Brightness = 12
Check Err.Number = 0 And control.Brightness = 12, "Brightness reads back (&H" & Hex(Err.Number) & ")"
Err.Clear
control.Brightness = 0

' STC_QUERY_CONTROL_MAX of the hue, through the in/out variable.
value = 0
control.ColorImageParameters 1, 5, value
Check Err.Number = 0 And value = 90, "ColorImageParameters answers the hue's maximum (" & value & ")"
Err.Clear

control.ColorQueryHardwareScaling 0, h, v
Check Err.Number = 0 And h = 10 And v = 10, "ColorQueryHardwareScaling minimum (" & h & ", " & v & ")"
Err.Clear
' VBScript reports E_INVALIDARG as its error 5.
control.ColorQueryHardwareScaling 4, h, v
Check Err.Number = 5, "ColorQueryHardwareScaling refuses operation 4 (&H" & Hex(Err.Number) & ")"
Err.Clear

control.ColorQueryStorageMode 8, supported
Check Err.Number = 0 And supported = False, "the KV7300 stores no YUYV 4:2:2"
Err.Clear

control.SyncMasterEnabled = True
Check Err.Number = 0 And control.SyncMasterEnabled = True, "SyncMasterEnabled on the KV7300"
Err.Clear
control.SyncMasterEnabled = False

control.HorizontalFrequency = 15734
Check Err.Number = &H80044118, "a color board has no sync timing (&H" & Hex(Err.Number) & ")"
Err.Clear

control.OpenDevice "SIM7400"
control.HorizontalFrequency = 15734
Check Err.Number = 0 And control.HorizontalFrequency = 15734, "HorizontalFrequency on the KV7400"
Err.Clear

' A board without the color family: the query answers False without an error, the
' properties fail and RedOffset clears the variable.
control.OpenDevice "SIM7100"
Check control.ColorQueryInterface(3) = False And Err.Number = 0, "the KV7100 has no color interface"
Err.Clear
value = 5
value = control.RedOffset
Check Err.Number = &H80044118, "RedOffset on the KV7100 (&H" & Hex(Err.Number) & ")"
Err.Clear

' Overlay surfaces.
Dim surface
surface = control.AllocateSurface
Check Err.Number = 0 And surface = 0 And control.ActiveSurface = 0, "AllocateSurface gives surface 0"
Err.Clear
control.ColorKey = &HFF&
Check Err.Number = 0 And CLng(control.ColorKey) = &HFF&, "ColorKey reads back as given"
Err.Clear
control.Translucent = True
Check Err.Number = 0 And control.Translucent = True, "Translucent"
Err.Clear
control.ImageFile = ""
Check Err.Number = 0 And control.ImageFile = "", "an empty ImageFile keeps the surface"
Err.Clear
control.EnableOverlays 3
Check Err.Number = 5, "EnableOverlays of a surface not allocated (" & Err.Number & ")"
Err.Clear
control.DestroySurface surface
Check Err.Number = 0 And control.SurfaceCount = 0 And control.ActiveSurface = -1, "DestroySurface"
Err.Clear
value = control.Translucent
Check Err.Number = &H80004005, "Translucent without a surface (&H" & Hex(Err.Number) & ")"
Err.Clear

control.CloseDevice
If failures = 0 Then
    WScript.Echo "color.vbs: passed"
Else
    WScript.Echo "color.vbs: " & failures & " failed"
End If
