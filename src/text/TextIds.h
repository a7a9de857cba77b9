#pragma once

// Numbers of the program's own texts.
namespace TextId {

constexpr int SourceFileFilter = 10000;
constexpr int DefinitionError = 10001;
constexpr int SaveFilterFiles = 10002;
constexpr int FileCreated = 10003;
constexpr int SourceRequired = 10004;
constexpr int JobNotConverted = 10005;
constexpr int ErrorLoadingStyleSheet = 10006;
constexpr int ErrorNumber = 10007;
constexpr int Reason = 10008;
constexpr int ErrorLoadingSource = 10009;
constexpr int MainCaption = 10010;
constexpr int SourceLabel = 10011;
constexpr int FormatLabel = 10012;
constexpr int SourceBrowse = 10013;
constexpr int FolderBrowse = 10014;
constexpr int ViewFileCheck = 10015;
constexpr int OK = 10016;
constexpr int Close = 10017;
constexpr int Help = 10018;
constexpr int SelectStyleSheetFolder = 10019;
constexpr int JobVersionUnsupported = 10020;
constexpr int ConverterMissing = 10021;
constexpr int DoubleOutOfRange = 10022;
constexpr int NumericRequired = 10023;
constexpr int IntegerOutOfRange = 10024;
constexpr int IntegerRequired = 10025;
constexpr int HelpFirst = 10026;
constexpr int HelpLast = 10064;
constexpr int Cancel = 10065;
constexpr int GridFileMissing = 10066;
constexpr int GridFileNeeded = 10067;
constexpr int NoGridCoordinates = 10068;
constexpr int UserValueCaption = 10069;
constexpr int NoAlignments = 10070;
constexpr int SelectAlignment = 10071;
constexpr int SelectCrossSectSurface = 10072;
constexpr int SelectTunnelProfile = 10073;

constexpr int First = 10000;
constexpr int Last = 10073;

} // namespace TextId
