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

// Texts of our own beyond the original table.
constexpr int CaptionError = 10074;
constexpr int CaptionWarning = 10075;
constexpr int CaptionInformation = 10076;
constexpr int CaptionApplicationError = 10077;
constexpr int UsageLine1 = 10078;
constexpr int UsageLine2 = 10079;
constexpr int UsageLine3 = 10080;
constexpr int UsageLine4 = 10081;
constexpr int UsageLine5 = 10082;
constexpr int UsageSyntax = 10083;
constexpr int UsageOptions = 10084;
constexpr int ArgumentNotText = 10085;
constexpr int NoDisplay = 10086;
constexpr int SaveAsPrompt = 10087;
constexpr int NameNotText = 10088;
constexpr int NameIsFolder = 10089;
constexpr int ReplacePrompt = 10090;
constexpr int YesAnswer = 10091;
constexpr int NotAFile = 10092;
constexpr int NoItemChosen = 10093;
constexpr int NotAnItem = 10094;
constexpr int InputEnded = 10095;
constexpr int FileExtWithoutSelect = 10096;
constexpr int CannotRead = 10097;
constexpr int CannotWriteFolder = 10098;
constexpr int CannotWrite = 10099;
constexpr int PermissionsNotKept = 10100;
constexpr int OutputEndsInSeparator = 10101;
constexpr int OutputIsFolder = 10102;
constexpr int OutputIsSpecial = 10103;
constexpr int OutputIsInput = 10104;
constexpr int InvalidExtension = 10105;
constexpr int CannotOpen = 10106;
constexpr int InvalidRegistryType = 10107;
constexpr int CannotReadConverted = 10108;
constexpr int NoConverterRegistered = 10109;
constexpr int UnusableCharacter = 10110;
constexpr int ViewerNotStarted = 10111;
constexpr int OpenerNotStarted = 10112;
constexpr int StyleSheetGuide = 10113;

constexpr int First = 10000;
constexpr int Last = 10113;

} // namespace TextId
