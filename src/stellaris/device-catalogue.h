#pragma once

// Answers about a device kind, looked up in the catalogue tables. Every
// function that takes a kind checks it and throws std::out_of_range for a
// kind outside 0..DeviceKindCount-1.

#include "device-tables.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

bool IsDeviceKind(int AKind);
const TDeviceRecord& DeviceRecord(int AKind);

std::wstring_view DeviceFullName(int AKind);
std::wstring_view DeviceBaseName(int AKind);
std::wstring_view DeviceFamilyName(int AKind);
const TBaseNameRecord& DeviceBaseNameRecord(int AKind);
const TPackageRecord& DevicePackageInfo(int AKind);
const TPackageTypeRecord& DevicePackageTypeInfo(int AKind);
const TGradeRecord& DeviceSpeedGrade(int AKind);
const TGradeRecord& DeviceTemperatureGrade(int AKind);
const TGradeRecord& DeviceOptionDesignator(int AKind);
const TDevicePackageRecord& DevicePackageRecord(int AKind);
std::wstring_view DeviceBSDLName(int AKind);

int DeviceFlashSizeKB(int AKind);
int DeviceSramSizeKB(int AKind);
// Flash size in KB that a writer class programs; 0 for None.
int FlashWriterSizeKB(TFlashWriterClass AClass);

// The reference part whose constraint file holds the device's memory map.
std::wstring_view ProcessorDeviceName(int AKind);

// Pins of the device's pin set. An index outside 0..count-1 gives the empty
// pin (all texts empty, no flags), never a neighbouring set's entry.
int DevicePinCount(int AKind);
const TPinParameters& DevicePin(int AKind, int AIndex);
std::wstring_view DevicePinName(int AKind, int AIndex);
const TPinParameters& PinSetPin(TDevicePinSet ASet, int AIndex);

// I/O standards set in a bit set over TDeviceIOStandardID, in id order.
int IOStandardCount(std::uint32_t AStandards);
// The index-th standard of the set; nullopt when there is none.
std::optional<TDeviceIOStandardID> IOStandardAt(std::uint32_t AStandards, int AIndex);
// Names of the index-th set slew / drive bit; empty when there is none.
std::wstring_view SlewName(std::uint8_t ASlew, int AIndex);
std::wstring_view DriveStrengthName(std::uint32_t ADrive, int AIndex);

// Full name to kind, ignoring ASCII letter case.
std::optional<TDeviceKind> FindDeviceKind(std::wstring_view AFullName);
// Kinds whose full names are nearest to a misspelt one (fewest single-letter
// edits, letter case ignored), nearest first and in kind order among equals.
std::vector<TDeviceKind> ClosestDeviceKinds(std::wstring_view AName, std::size_t AMaxCount = 5);
