#pragma once

// The word tables of the syntax presets. A word's position (from 0) is its
// identifier once a preset loads the table with FillStringsIndexed.

#include <array>
#include <string_view>

// Pascal source text, in ascending order: asm is 5, index 45, read 77, write 106.
inline constexpr std::array<std::wstring_view, 109> PascalResWords = {
    L"absolute",    L"abstract",
    L"and",         L"array",
    L"as",          L"asm",
    L"assembler",   L"automated",
    L"begin",       L"between",
    L"break",       L"case",
    L"cdecl",       L"class",
    L"const",       L"constructor",
    L"continue",    L"default",
    L"deprecated",  L"destructor",
    L"dispid",      L"dispinterface",
    L"div",         L"do",
    L"downto",      L"dynamic",
    L"else",        L"end",
    L"except",      L"exit",
    L"export",      L"exports",
    L"external",    L"far",
    L"file",        L"finalization",
    L"finally",     L"for",
    L"forward",     L"function",
    L"goto",        L"helper",
    L"if",          L"implementation",
    L"in",          L"index",
    L"inherited",   L"initialization",
    L"inline",      L"interface",
    L"is",          L"label",
    L"library",     L"like",
    L"message",     L"mod",
    L"near",        L"nil",
    L"nodefault",   L"not",
    L"object",      L"of",
    L"or",          L"out",
    L"overload",    L"override",
    L"packed",      L"pascal",
    L"platform",    L"private",
    L"procedure",   L"program",
    L"property",    L"protected",
    L"public",      L"published",
    L"raise",       L"read",
    L"readonly",    L"record",
    L"reference",   L"register",
    L"reintroduce", L"repeat",
    L"resident",    L"resourcestring",
    L"safecall",    L"set",
    L"shl",         L"shr",
    L"stdcall",     L"stored",
    L"string",      L"stringresource",
    L"then",        L"threadvar",
    L"to",          L"try",
    L"type",        L"unit",
    L"until",       L"uses",
    L"var",         L"virtual",
    L"while",       L"with",
    L"write",       L"writeonly",
    L"xor"};

// Stored form text.
inline constexpr std::array<std::wstring_view, 5> DFMResWords = {L"end", L"inherited", L"inline",
                                                                 L"item", L"object"};

// Basic, not sorted: Rem is 43.
inline constexpr std::array<std::wstring_view, 56> VBResWords = {
    L"And",    L"As",    L"Call",     L"Const",    L"Date",   L"Dim",      L"Do",        L"Empty",
    L"Exit",   L"False", L"For",      L"Each",     L"Elseif", L"Function", L"If",        L"Then",
    L"Else",   L"Is",    L"Loop",     L"Mod",      L"Next",   L"Not",      L"Nothing",   L"Null",
    L"On",     L"Error", L"Option",   L"Explicit", L"Base",   L"Compare",  L"Or",        L"Private",
    L"Public", L"ReDim", L"Select",   L"Case",     L"Set",    L"String",   L"Sub",       L"True",
    L"While",  L"Wend",  L"Xor",      L"Rem",      L"end",    L"ByVal",    L"Attribute", L"Declare",
    L"To",     L"Type",  L"property", L"get",      L"let",    L"friend",   L"With",      L"Class"};

// JavaScript.
inline constexpr std::array<std::wstring_view, 58> JScriptResWords = {
    L"abstract",   L"boolean", L"break",     L"byte",       L"case",         L"catch",
    L"char",       L"class",   L"const",     L"continue",   L"debugger",     L"default",
    L"delete",     L"do",      L"double",    L"else",       L"enum",         L"export",
    L"extends",    L"false",   L"final",     L"finally",    L"float",        L"for",
    L"function",   L"goto",    L"if",        L"implements", L"import",       L"in",
    L"instanceof", L"int",     L"interface", L"long",       L"native",       L"new",
    L"null",       L"package", L"private",   L"protected",  L"public",       L"return",
    L"short",      L"static",  L"super",     L"switch",     L"synchronized", L"this",
    L"throw",      L"throws",  L"transient", L"true",       L"try",          L"typeof",
    L"var",        L"void",    L"while",     L"with"};

// C.
inline constexpr std::array<std::wstring_view, 31> CResWords = {
    L"auto",   L"break",    L"case",   L"char",     L"continue", L"default",  L"do",     L"double",
    L"else",   L"enum",     L"extern", L"float",    L"for",      L"goto",     L"if",     L"int",
    L"long",   L"register", L"return", L"short",    L"signed",   L"sizeof",   L"static", L"struct",
    L"switch", L"typedef",  L"union",  L"unsigned", L"void",     L"volatile", L"while"};

// C++ (replaces the C words).
inline constexpr std::array<std::wstring_view, 94> CppResWords = {
    L"__asm",        L"_asm",        L"asm",         L"auto",     L"__automated",
    L"break",        L"bool",        L"case",        L"catch",    L"__cdecl",
    L"_cdecl",       L"cdecl",       L"char",        L"class",    L"__classid",
    L"__closure",    L"const",       L"const_cast",  L"continue", L"__declspec",
    L"default",      L"delete",      L"__dispid",    L"do",       L"double",
    L"dynamic_cast", L"else",        L"enum",        L"__except", L"explicit",
    L"_export",      L"__export",    L"extern",      L"false",    L"__fastcall",
    L"_fastcall",    L"__finally",   L"float",       L"for",      L"friend",
    L"goto",         L"if",          L"__import",    L"_import",  L"inline",
    L"int",          L"__int8",      L"__int16",     L"__int32",  L"__int64",
    L"long",         L"mutable",     L"namespace",   L"new",      L"operator",
    L"__pascal",     L"_pascal",     L"pascal",      L"private",  L"protected",
    L"__property",   L"public",      L"__published", L"register", L"reinterpret_cast",
    L"return",       L"__rtti",      L"short",       L"signed",   L"sizeof",
    L"static",       L"static_cast", L"__stdcall",   L"_stdcall", L"struct",
    L"switch",       L"template",    L"this",        L"__thread", L"throw",
    L"true",         L"__try",       L"try",         L"typedef",  L"typename",
    L"typeid",       L"union",       L"using",       L"unsigned", L"virtual",
    L"void",         L"volatile",    L"wchar_t",     L"while"};

// The C integer suffixes, tried in this order.
inline constexpr std::array<std::wstring_view, 17> CIntegerSuffixes = {
    L"ui64", L"i64", L"i32", L"i16", L"i8", L"ul", L"lu", L"Ul", L"lU",
    L"uL",   L"Lu",  L"LU",  L"UL",  L"U",  L"u",  L"L",  L"l"};

// SQL: no preset loads it. ALTER keeps its trailing blank (the word index trims it).
inline constexpr std::array<std::wstring_view, 152> SQLResWords = {
    L"ACTIVE",    L"ALL",        L"AFTER",       L"ALTER ",     L"AND",         L"ANY",
    L"AS",        L"ASC",        L"ASCENDING",   L"AT",         L"AUTO",        L"AUTOINC",
    L"BASE_NAME", L"BEFORE",     L"BEGIN",       L"BETWEEN",    L"BLOB",        L"BOOLEAN",
    L"BOTH",      L"BY",         L"BYTES",       L"CACHE",      L"CAST",        L"CHARACTER",
    L"CHECK",     L"COLUMN",     L"COMMIT",      L"COMMITTED",  L"COMPUTED",    L"CONDITIONAL",
    L"CONNECT",   L"CONSTRAINT", L"CONTAINING",  L"COUNT",      L"CREATE",      L"CURRENT",
    L"CURSOR",    L"DATABASE",   L"DATE",        L"DEBUG",      L"DECIMAL",     L"DECLARE",
    L"DEFAULT",   L"DELETE",     L"DESC",        L"DESCENDING", L"DISTINCT",    L"DOMAIN",
    L"DO",        L"DROP",       L"ELSE",        L"END",        L"ENTRY_POINT", L"ESCAPE",
    L"EXCEPTION", L"EXECUTE",    L"EXISTS",      L"EXIT",       L"EXTERNAL",    L"EXTRACT",
    L"FILTER",    L"FLOAT",      L"FOR",         L"FOREIGN",    L"FROM",        L"FULL",
    L"FUNCTION",  L"GENERATOR",  L"GO",          L"GRANT",      L"GROUP",       L"HAVING",
    L"IF",        L"IN",         L"INACTIVE",    L"INDEX",      L"INNER",       L"INSERT",
    L"INTEGER",   L"INTO",       L"IS",          L"ISOLATION",  L"JOIN",        L"KEY",
    L"NULL",      L"LEADING",    L"LEFT",        L"LEVEL",      L"LIKE",        L"MERGE",
    L"MONEY",     L"NAMES",      L"NO",          L"NOT",        L"NUMERIC",     L"OF",
    L"ON",        L"ONLY",       L"OR",          L"ORDER",      L"OUTER",       L"PARAMETER",
    L"PASSWORD",  L"PIVOT",      L"PLAN",        L"POSITION",   L"PROCEDURE",   L"PROTECTED",
    L"PRIMARY",   L"PRIVILEGES", L"READ",        L"REFERENCES", L"RETAIN",      L"RETURNING_VALUES",
    L"RETURNS",   L"REVOKE",     L"RIGHT",       L"ROLLBACK",   L"SCHEMA",      L"SELECT",
    L"SET",       L"SHARED",     L"SHADOW",      L"SMALLINT",   L"SNAPSHOT",    L"SOME",
    L"SUSPEND",   L"TABLE",      L"THEN",        L"TIME",       L"TIMESTAMP",   L"TO",
    L"TRAILING",  L"TRANSFORM",  L"TRANSACTION", L"TRIGGER",    L"UNCOMMITTED", L"UNION",
    L"UNIQUE",    L"UPDATE",     L"USER",        L"USING",      L"VALUES",      L"VARCHAR",
    L"VARIABLE",  L"VIEW",       L"WAIT",        L"WHEN",       L"WHERE",       L"WHILE",
    L"WITH",      L"WORK"};

// Perl: no preset loads it.
inline constexpr std::array<std::wstring_view, 33> PerlResWords = {
    L"and",    L"cmp",     L"continue", L"do",     L"else",   L"elsif", L"eq",
    L"for",    L"foreach", L"ge",       L"goto",   L"gt",     L"if",    L"last",
    L"le",     L"local",   L"lt",       L"my",     L"ne",     L"next",  L"not",
    L"or",     L"package", L"require",  L"return", L"strict", L"sub",   L"switch",
    L"unless", L"until",   L"use",      L"while",  L"xor"};

// Python: no preset loads it.
inline constexpr std::array<std::wstring_view, 28> PythonResWords = {
    L"and",    L"assert", L"break",  L"class", L"continue", L"def",    L"del",
    L"elif",   L"else",   L"except", L"exec",  L"finally",  L"for",    L"from",
    L"global", L"if",     L"import", L"in",    L"is",       L"lambda", L"not",
    L"or",     L"pass",   L"print",  L"raise", L"return",   L"try",    L"while"};

// Compiler directives: nothing reads them.
inline constexpr std::array<std::wstring_view, 13> CompilerDirectives = {
    L"DEFINE", L"ELSE",  L"ENDIF",   L"I", L"IF",       L"IFDEF", L"IFEND",
    L"IFNDEF", L"IFOPT", L"INCLUDE", L"R", L"RESOURCE", L"UNDEF"};

// Platform symbols: nothing reads them.
inline constexpr std::array<std::wstring_view, 2> PlatformSymbols = {L"MSWINDOWS", L"LINUX"};

inline constexpr std::array<std::wstring_view, 2> PlatformSymbols32 = {L"WIN32", L"LINUX"};
