// SPDX-License-Identifier: Apache-2.0
// The member-by-member run of control_test.vbs in JScript, whose Variants differ: numbers
// are doubles (or 32-bit integers), strings are never Null, null is VT_NULL, and every
// argument is passed by value. cscript's exit code does not tell a failed script from a
// passing one, so the last line counts the checks and the runner reads it.
var passed = 0, failed = 0;

function check(name, actual, expected) {
  if (typeof actual == typeof expected && actual === expected) {
    passed++;
  } else {
    failed++;
    WScript.Echo("FAIL " + name + ": got " + typeof actual + " [" + actual + "], want " +
                 typeof expected + " [" + expected + "]");
  }
}

// The automation error number of what fn raises, or 0.
function errorOf(fn) {
  try {
    fn();
  } catch (e) {
    return e.number & 0xFFFF;
  }
  return 0;
}

var o = new ActiveXObject("ctlUSBORVA.USBORVA");

var readOnlyTexts = ["DUKPTKSN", "DeviceSerialNum", "CardEncodeType", "ReaderID", "Track1Data",
                     "Track2Data", "Track3Data", "EncTrack1Data", "EncTrack2Data",
                     "EncTrack3Data", "UsbProduct", "BitmapCRC", "AuthLabel", "PINLabel",
                     "MSRLabel", "PINKSN", "DeviceConfig", "MSRKSN", "Firmware"];
var readOnlyNumbers = ["SigilLen", "SequenceNumber", "SigilStatus", "DeviceState",
                       "SessionStatus", "DeviceStatus"];
for (var i = 0; i < readOnlyTexts.length; i++) {
  var name = readOnlyTexts[i];
  check(name + " starts empty", o[name], "");
  check(name + " refused", errorOf(function () { o[name] = "x"; }), 382);
  check(name + " unchanged", o[name], "");
}
for (var j = 0; j < readOnlyNumbers.length; j++) {
  var number = readOnlyNumbers[j];
  check(number + " starts 0", o[number], 0);
  check(number + " refused", errorOf(function () { o[number] = 7; }), 382);
  check(number + " unchanged", o[number], 0);
}

// Stored puts: a double is rounded to the Long the property holds (half to even), a
// number given to a String property becomes its text, null is refused and changes nothing.
o.Track1Length = -5;
check("Track1Length stored", o.Track1Length, -5);
o.Track2Length = 2.5;
check("Track2Length rounds half to even", o.Track2Length, 2);
o.Track3Length = 3.5;
check("Track3Length rounds half to even", o.Track3Length, 4);
// Past the Long range the runtime refuses the argument itself (DISP_E_OVERFLOW).
check("Track1LengthMasked past the Long range",
      errorOf(function () { o.Track1LengthMasked = 3e10; }), 0x000A);
check("Track1LengthMasked unchanged", o.Track1LengthMasked, 0);
o.CardData = "abc";
check("CardData stored", o.CardData, "abc");
o.CardDataMasked = 42;
check("a number into a String property", o.CardDataMasked, "42");
check("null into a String property", errorOf(function () { o.CardData = null; }) != 0, true);
check("CardData unchanged after null", o.CardData, "abc");

// The Variant properties: a double to text, a string to bytes, null refused.
o.SigilData = 12.5;
check("SigilData converts", o.SigilData, "12.5");
o.SigilData = 7;
check("SigilData integer", o.SigilData, "7");
check("SigilData null", errorOf(function () { o.SigilData = null; }), 94);
check("SigilData kept", o.SigilData, "7");
// Wine's JScript cannot look at a Byte array (typeof stops the script): only the put.
check("SessionID takes a string", errorOf(function () { o.SessionID = "AB"; }), 0);

// Methods with by-reference parameters get JScript's by-value arguments, coerced.
o.Track1Length = 0; o.Track2Length = 0; o.Track3Length = 0;
o.CardData = "%B4111111111111111^PUBLIC/JOHN Q^2812101000000000000000?;4111111111111111=28121010000000000000?";
check("GetTrack 0", o.GetTrack(0), o.CardData);
check("GetTrack 0.4 as a double", o.GetTrack(0.4), o.CardData);
check("GetTrack a number as text", o.GetTrack("0"), o.CardData);
check("GetTrack 2 (no stored track)", o.GetTrack(2), "");
check("GetFName", o.GetFName(), "JOHN Q");
check("GetLName", o.GetLName(), "PUBLIC");
check("FindElement with a Boolean direction", o.FindElement(7, "=", 1, "4", false), "");
check("InterpretMsg bad hex", errorOf(function () { o.InterpretMsg("zz"); }), 13);
check("InterpretMsg empty", o.InterpretMsg(""), true);

// No terminal: the port stays closed, feature reports answer 0 and raise nothing.
o.PortOpen = true;
check("PortOpen without terminal", o.PortOpen, false);
check("GetFeatureReport without terminal", o.GetFeatureReport("09", 1.5), 0);
check("SetFeatureReport with null", o.SetFeatureReport("09", null), 0);

check("SaveDefSetting", o.SaveDefSetting("JsKey", "js value"), "");
check("GetDefSetting", o.GetDefSetting("JsKey"), "js value");
check("GetDefSetting number default", o.GetDefSetting("JsNever", 12), "12");
check("About", o.About(), "");
check("ClearBuffer", o.ClearBuffer(), 0);
check("ClearBuffer empties CardData", o.CardData, "");

WScript.Echo(passed + " passed, " + failed + " failed");
