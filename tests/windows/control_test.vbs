' SPDX-License-Identifier: Apache-2.0
' Drives the registered control late-bound, as a script host does. cscript's exit code
' does not tell a failed script from a passing one, so the last line says how many checks
' passed and failed, and the runner reads that line.
Option Explicit
Dim passed, failed
passed = 0 : failed = 0

Sub Check(name, actual, expected)
  If TypeName(actual) = TypeName(expected) And actual = expected Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL " & name & ": got " & TypeName(actual) & " [" & actual & "], want " & _
                 TypeName(expected) & " [" & expected & "]"
  End If
End Sub

Dim mode : mode = WScript.Arguments(0)
Dim o : Set o = CreateObject("ctlUSBORVA.USBORVA")

If mode = "basic" Then
  ' Wine's script engine has no Eval or Execute, so every member is spelled out.
  ' Each of the 25 read-only properties starts empty or 0 and refuses a put with 382.
  Check "DUKPTKSN starts empty", o.DUKPTKSN, ""
  On Error Resume Next : o.DUKPTKSN = "x" : Check "DUKPTKSN refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "DUKPTKSN unchanged", o.DUKPTKSN, ""
  Check "DeviceSerialNum starts empty", o.DeviceSerialNum, ""
  On Error Resume Next : o.DeviceSerialNum = "x" : Check "DeviceSerialNum refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "DeviceSerialNum unchanged", o.DeviceSerialNum, ""
  Check "CardEncodeType starts empty", o.CardEncodeType, ""
  On Error Resume Next : o.CardEncodeType = "x" : Check "CardEncodeType refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "CardEncodeType unchanged", o.CardEncodeType, ""
  Check "ReaderID starts empty", o.ReaderID, ""
  On Error Resume Next : o.ReaderID = "x" : Check "ReaderID refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "ReaderID unchanged", o.ReaderID, ""
  Check "Track1Data starts empty", o.Track1Data, ""
  On Error Resume Next : o.Track1Data = "x" : Check "Track1Data refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "Track1Data unchanged", o.Track1Data, ""
  Check "Track2Data starts empty", o.Track2Data, ""
  On Error Resume Next : o.Track2Data = "x" : Check "Track2Data refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "Track2Data unchanged", o.Track2Data, ""
  Check "Track3Data starts empty", o.Track3Data, ""
  On Error Resume Next : o.Track3Data = "x" : Check "Track3Data refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "Track3Data unchanged", o.Track3Data, ""
  Check "EncTrack1Data starts empty", o.EncTrack1Data, ""
  On Error Resume Next : o.EncTrack1Data = "x" : Check "EncTrack1Data refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "EncTrack1Data unchanged", o.EncTrack1Data, ""
  Check "EncTrack2Data starts empty", o.EncTrack2Data, ""
  On Error Resume Next : o.EncTrack2Data = "x" : Check "EncTrack2Data refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "EncTrack2Data unchanged", o.EncTrack2Data, ""
  Check "EncTrack3Data starts empty", o.EncTrack3Data, ""
  On Error Resume Next : o.EncTrack3Data = "x" : Check "EncTrack3Data refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "EncTrack3Data unchanged", o.EncTrack3Data, ""
  Check "UsbProduct starts empty", o.UsbProduct, ""
  On Error Resume Next : o.UsbProduct = "x" : Check "UsbProduct refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "UsbProduct unchanged", o.UsbProduct, ""
  Check "BitmapCRC starts empty", o.BitmapCRC, ""
  On Error Resume Next : o.BitmapCRC = "x" : Check "BitmapCRC refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "BitmapCRC unchanged", o.BitmapCRC, ""
  Check "AuthLabel starts empty", o.AuthLabel, ""
  On Error Resume Next : o.AuthLabel = "x" : Check "AuthLabel refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "AuthLabel unchanged", o.AuthLabel, ""
  Check "PINLabel starts empty", o.PINLabel, ""
  On Error Resume Next : o.PINLabel = "x" : Check "PINLabel refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "PINLabel unchanged", o.PINLabel, ""
  Check "MSRLabel starts empty", o.MSRLabel, ""
  On Error Resume Next : o.MSRLabel = "x" : Check "MSRLabel refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "MSRLabel unchanged", o.MSRLabel, ""
  Check "PINKSN starts empty", o.PINKSN, ""
  On Error Resume Next : o.PINKSN = "x" : Check "PINKSN refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "PINKSN unchanged", o.PINKSN, ""
  Check "DeviceConfig starts empty", o.DeviceConfig, ""
  On Error Resume Next : o.DeviceConfig = "x" : Check "DeviceConfig refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "DeviceConfig unchanged", o.DeviceConfig, ""
  Check "MSRKSN starts empty", o.MSRKSN, ""
  On Error Resume Next : o.MSRKSN = "x" : Check "MSRKSN refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "MSRKSN unchanged", o.MSRKSN, ""
  Check "Firmware starts empty", o.Firmware, ""
  On Error Resume Next : o.Firmware = "x" : Check "Firmware refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "Firmware unchanged", o.Firmware, ""
  Check "SigilLen starts 0", o.SigilLen, CLng(0)
  On Error Resume Next : o.SigilLen = 7 : Check "SigilLen refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "SigilLen unchanged", o.SigilLen, CLng(0)
  Check "SequenceNumber starts 0", o.SequenceNumber, CLng(0)
  On Error Resume Next : o.SequenceNumber = 7 : Check "SequenceNumber refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "SequenceNumber unchanged", o.SequenceNumber, CLng(0)
  Check "SigilStatus starts 0", o.SigilStatus, CLng(0)
  On Error Resume Next : o.SigilStatus = 7 : Check "SigilStatus refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "SigilStatus unchanged", o.SigilStatus, CLng(0)
  Check "DeviceState starts 0", o.DeviceState, CByte(0)
  On Error Resume Next : o.DeviceState = 7 : Check "DeviceState refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "DeviceState unchanged", o.DeviceState, CByte(0)
  Check "SessionStatus starts 0", o.SessionStatus, CByte(0)
  On Error Resume Next : o.SessionStatus = 7 : Check "SessionStatus refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "SessionStatus unchanged", o.SessionStatus, CByte(0)
  Check "DeviceStatus starts 0", o.DeviceStatus, CByte(0)
  On Error Resume Next : o.DeviceStatus = 7 : Check "DeviceStatus refused", Err.Number, CLng(382) : Err.Clear : On Error GoTo 0
  Check "DeviceStatus unchanged", o.DeviceStatus, CByte(0)

  ' Stored puts keep what they are given, negative lengths included.
  o.CardData = "abc CardData" : Check "CardData stored", o.CardData, "abc CardData"
  o.CardDataMasked = "abc CardDataMasked" : Check "CardDataMasked stored", o.CardDataMasked, "abc CardDataMasked"
  o.SwipeCommandOutput = "abc SwipeCommandOutput" : Check "SwipeCommandOutput stored", o.SwipeCommandOutput, "abc SwipeCommandOutput"
  o.Track1Length = -5 : Check "Track1Length stored", o.Track1Length, CLng(-5)
  o.Track2Length = -5 : Check "Track2Length stored", o.Track2Length, CLng(-5)
  o.Track3Length = -5 : Check "Track3Length stored", o.Track3Length, CLng(-5)
  o.Track1LengthMasked = -5 : Check "Track1LengthMasked stored", o.Track1LengthMasked, CLng(-5)
  o.Track2LengthMasked = -5 : Check "Track2LengthMasked stored", o.Track2LengthMasked, CLng(-5)
  o.Track3LengthMasked = -5 : Check "Track3LengthMasked stored", o.Track3LengthMasked, CLng(-5)

  ' The two Variant properties convert.
  o.SigilData = 12.5
  Check "SigilData converts", o.SigilData, "12.5"
  o.SessionID = "AB"
  Check "SessionID type", VarType(o.SessionID), vbArray + vbByte

  ' Card parsing over CardData, with the lengths back at 0 (no length check).
  o.Track1Length = 0 : o.Track2Length = 0 : o.Track3Length = 0
  o.CardData = "%B4111111111111111^PUBLIC/JOHN Q^2812101000000000000000?;4111111111111111=28121010000000000000?"
  Check "GetTrack 0", o.GetTrack(0), o.CardData
  Check "GetFName", o.GetFName(), "JOHN Q"
  Check "GetLName", o.GetLName(), "PUBLIC"
  Check "FindElement past the tracks", o.FindElement(7, "=", 1, "4"), ""
  Check "GetFNameMasked on empty", o.GetFNameMasked(), ""
  Check "GetTrackMasked on empty", o.GetTrackMasked(1), ""
  Check "FindElementMasked on empty", o.FindElementMasked(1, "^", 1, "2", False), ""
  Check "GetLNameMasked on empty", o.GetLNameMasked(), ""

  ' InterpretMsg: bad hex is 13; with no terminal the message buffer is empty, so any byte
  ' is out of range (9).
  On Error Resume Next
  o.InterpretMsg "zz"
  Check "InterpretMsg bad hex", Err.Number, CLng(13)
  Err.Clear
  o.InterpretMsg "0102"
  Check "InterpretMsg past the buffer", Err.Number, CLng(9)
  Err.Clear
  On Error GoTo 0
  Check "InterpretMsg empty", o.InterpretMsg(""), True

  ' No terminal: the port stays closed and feature reports answer 0.
  o.PortOpen = True
  Check "PortOpen without terminal", o.PortOpen, False
  Dim answer : answer = ""
  Check "GetFeatureReport without terminal", o.GetFeatureReport("09", answer), CLng(0)

  ' Settings, read back here and by the next run of this script.
  Check "SaveDefSetting", o.SaveDefSetting("WinTestKey", "saved value"), ""
  Check "GetDefSetting", o.GetDefSetting("WinTestKey"), "saved value"
  Check "GetDefSetting default", o.GetDefSetting("NeverSaved", "fallback"), "fallback"
  Check "GetDefSetting no default", o.GetDefSetting("NeverSaved"), ""
  Check "About", o.About(), ""

  Check "ClearBuffer", o.ClearBuffer(), 0
  Check "ClearBuffer empties CardData", o.CardData, ""
  Check "ClearBuffer keeps track lengths at 0", o.Track1Length, CLng(0)
ElseIf mode = "settings" Then
  Check "setting seen by a second run", o.GetDefSetting("WinTestKey"), "saved value"
ElseIf mode = "scenario" Then
  ' The simulated terminal named by USBORVA_SCENARIO answers the identity queries at open.
  o.PortOpen = True
  Check "PortOpen", o.PortOpen, True
  Check "DeviceSerialNum", o.DeviceSerialNum, "WIN00042"
  Check "Firmware", o.Firmware, "2.10.7"
  Check "UsbProduct", o.UsbProduct, "USB Payment Terminal"
  Check "ReaderID", o.ReaderID, "4C21"
  Check "MSRKSN", o.MSRKSN, "FFFF9876543210E00002"
  Check "DeviceConfig", o.DeviceConfig, "01 02 03 04 05 06 07 08"
  Dim reply : reply = ""
  Check "GetFeatureReport 09", o.GetFeatureReport("09", reply), CLng(1)
  Check "SwipeCommandOutput", Left(o.SwipeCommandOutput, 24), "09 01 02 03 04 05 06 07 "
  Check "InterpretMsg with terminal", o.InterpretMsg("0E 10"), True
  o.PortOpen = False
  Check "PortOpen closed", o.PortOpen, False
ElseIf mode = "unregistered" Then
  ' Never reached: CreateObject fails first (see the runner).
End If

WScript.Echo passed & " passed, " & failed & " failed"
