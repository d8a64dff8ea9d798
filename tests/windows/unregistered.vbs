' SPDX-License-Identifier: Apache-2.0
' Run after the control was unregistered: creating it must fail with 429.
Dim o, number
On Error Resume Next
Set o = CreateObject("ctlUSBORVA.USBORVA")
number = Err.Number
On Error GoTo 0
If number = 429 Then
  WScript.Echo "1 passed, 0 failed"
Else
  WScript.Echo "FAIL CreateObject after unregistering: error " & number
  WScript.Echo "0 passed, 1 failed"
End If
