// Registry keys and values that the messenger and this program share. Keys are under
// HKEY_LOCAL_MACHINE unless their name says otherwise.
#pragma once

constexpr char kDefaultPrefsKey[] = "SOFTWARE\\Kestrane\\Orvex\\DefaultPrefs";
constexpr char kTestSkinPathValue[] = "TestSkinPath";
constexpr char kVersionValue[] = "Orvex Version";

constexpr char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Orvex.exe";

// Under HKEY_CURRENT_USER.
constexpr char kTempPartnerPathKey[] = "Software\\Kestrane\\TempPartnerPath";

constexpr char kCustomizeKey[] = "Software\\Kestrane\\Orvex\\DefaultPrefs\\Customize";
constexpr char kCustomizeSubkey[] = "Customize";
constexpr char kOwnersKey[] = "Software\\Kestrane\\Orvex\\Owners";
constexpr char kLastOwnerValue[] = "LastOwner";
constexpr char kOwnerCustomizeValue[] = "Customize";

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kLiteAutostartValue[] = "Orvex Lite";
