#pragma once

#include "convert/ConverterFileRecord.h"

#include <cstdint>

// The converter's exports use the calling convention of system libraries on 32-bit Windows, its
// callbacks the C one; both are the platform's default everywhere else.
#if defined(_WIN32) && !defined(_WIN64)
#define TABULON_CONVERTER_CALL __stdcall
#define TABULON_CALLBACK_CALL __cdecl
#else
#define TABULON_CONVERTER_CALL
#define TABULON_CALLBACK_CALL
#endif

// The converter may pass arguments to a callback; with the caller cleaning up, a callback that
// declares none ignores them safely.
using ConverterCallback = int(TABULON_CALLBACK_CALL*)();

constexpr const char* ConverterInspectFileExport = "converter_InspectFile";
constexpr const char* ConverterTranslatePlusExport = "converter_TranslatePlus";

// Paths are narrow and NUL-terminated; a nonzero result means success.
using ConverterInspectFileFunction = std::int16_t(TABULON_CONVERTER_CALL*)(char* jobPath, ConverterFileRecord* record,
                                                                           char* buffer, std::int32_t bufferLength);

using ConverterTranslatePlusFunction = std::int16_t(TABULON_CONVERTER_CALL*)(
    char* languageFile, char* jobPath, ConverterFileRecord* jobRecord, char* outputPath,
    ConverterFileRecord* outputRecord, ConverterCallback firstCallback, ConverterCallback secondCallback,
    ConverterCallback thirdCallback, std::int32_t reserved);
