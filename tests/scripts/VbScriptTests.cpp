#include "scripts/VbRuntime.h"
#include "scripts/VbTranslator.h"

#include "LocaleGuard.h"

#include <QJSEngine>

#include <gtest/gtest.h>

namespace {

struct Row
{
    const char* name;
    const char* code;
    const char* expected;
};

// Runs a block in an engine of its own and reports what its function T returned, as CStr shows
// it, or the failure: "error N: description" at run time, "syntax N: message, line N" when it does
// not translate.
class VbScriptTest : public ::testing::Test
{
protected:
    static QString run(const QString& block)
    {
        const VbTranslation translation = translateVbScript(block);
        if (!translation.error.isEmpty())
            return QStringLiteral("syntax %1: %2, line %3")
                .arg(translation.errorNumber)
                .arg(translation.error)
                .arg(translation.errorLine);
        QJSEngine engine;
        const QString problem = installVbRuntime(engine);
        if (!problem.isEmpty())
            return QStringLiteral("runtime: ") + problem;
        const QJSValue result = engine.evaluate(translation.code + QStringLiteral(R"js(
(function () {
    try {
        var r = $procs.t();
        return r === undefined ? '<Empty>' : r === $NULL ? '<Null>' : $str(r);
    } catch (e) {
        var v = $asvb(e);
        return 'error ' + v.vbNumber + ': ' + v.vbDescription;
    }
})())js"),
                                                QStringLiteral("block.vbs"));
        if (result.isError())
            return QStringLiteral("javascript: ") + result.toString() + u'\n' + translation.code;
        return result.toString();
    }

    // A row's code is a whole block when it defines T, else the body of T, else an expression.
    static QString blockOf(const char* code)
    {
        const QString text = QString::fromUtf8(code);
        if (text.contains(QStringLiteral("Function T()")))
            return text;
        if (text.contains(u'\n') || text.startsWith(QStringLiteral("Dim ")) || text.contains(QStringLiteral("T = ")))
            return QStringLiteral("Function T()\n") + text + QStringLiteral("\nEnd Function");
        return QStringLiteral("Function T()\nT = ") + text + QStringLiteral("\nEnd Function");
    }

    static void check(std::initializer_list<Row> rows)
    {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            EXPECT_EQ(run(blockOf(row.code)), QString::fromUtf8(row.expected)) << row.code;
        }
    }

    LocaleGuard locale{englishLocale()};
};

} // namespace

TEST_F(VbScriptTest, RunsStatementsAndControlFlow)
{
    check({
        {"names ignore case", "Dim Total\ntotal = 5\nT = TOTAL + 1", "6"},
        {"If, ElseIf, Else", "x = 5\nIf x < 3 Then\nT = \"a\"\nElseIf x < 10 Then\nT = \"b\"\nElse\nT = \"c\"\nEnd If",
         "b"},
        {"If on one line with colons and Else", "x = 1 : If x = 1 Then T = \"one\" : T = T & \"!\" Else T = \"other\"",
         "one!"},
        {"nested one-line If takes the Else", "If True Then If False Then T = 1 Else T = 2", "2"},
        {"For with a negative Step leaves the counter past the end",
         "For i = 10 To 1 Step -3\ns = s & i & \",\"\nNext\nT = s & i", "10,7,4,1,-2"},
        {"For that never runs", "For i = 5 To 1\nT = \"ran\"\nNext\nT = T & i", "5"},
        {"Next closing two loops", "For i = 1 To 2\nFor j = 1 To 3\nn = n + 1\nNext j, i\nT = n", "6"},
        // A loop over a declared counter counts in plain numbers unless something else may assign it.
        {"For over a declared counter, with elements and comparisons",
         "Dim i, s, a\na = Array(10, 20, 30)\nFor i = 0 To \"2\"\nIf i > 0 Then s = s & \",\"\n"
         "s = s & a(i) & TypeName(i)\nNext\nFor i = 3 To 1 Step -2\ns = s & i\nNext\nT = s & i",
         "10Integer,20Integer,30Integer31-1"},
        {"For whose body assigns its counter", "Dim i, s\nFor i = 1 To 3\ni = i + 1 : s = s & i\nNext\nT = s", "24"},
        {"For whose body gives its counter a text",
         "Dim i, s\nFor i = 1 To 9\ns = s & TypeName(i)\ni = \"9\"\nNext\nT = s & TypeName(i) & i", "IntegerDouble10"},
        {"For whose counter a procedure declared below takes ByRef",
         "Function T()\nDim i, s\nFor i = 1 To 3\nBump i\ns = s & i & Twice(i)\nNext\nT = s\nEnd Function\n"
         "Sub Bump(n)\nn = n + 1\nEnd Sub\nFunction Twice(n)\nn = n * 2\nTwice = n\nEnd Function",
         "24"},
        {"For whose counter a recursive call takes ByRef and assigns after its loop",
         "Function T()\nT = F(0)\nEnd Function\nFunction F(n)\nDim i, s\nFor i = 1 To 3\n"
         "If n = 0 Then s = s & F(i)\ns = s & i\nNext\nn = 9\nF = s\nEnd Function",
         "1239"},
        {"For whose counter Execute assigns, or an inner loop",
         "Dim i, s\nFor i = 1 To 3\nExecute \"i = i + 1\"\ns = s & i\nNext\n"
         "For i = 1 To 2\nFor i = 5 To 6\nNext\ns = s & \"|\" & i\nNext\nT = s",
         "24|7"},
        {"For Each and Exit For", "For Each v In Array(1, 2, 3, 4)\nIf v = 3 Then Exit For\ns = s + v\nNext\nT = s",
         "3"},
        {"Do While, Do Until, Loop While, Loop Until",
         "Do While i < 3\ni = i + 1\nLoop\nDo Until i >= 6\ni = i + 1\nLoop\nDo\ni = i + 1\nLoop While i < 8\n"
         "Do\ni = i + 10\nLoop Until True\nT = i",
         "18"},
        {"Exit Do leaves an inner For too", "Do\nFor j = 1 To 10\nIf j = 4 Then Exit Do\nNext\nLoop\nT = j", "4"},
        {"While Wend with colons", "While n < 4 : n = n + 1 : Wend\nT = n", "4"},
        // Comparison Operators (VBScript): a number is less than any string, so "x" >= 40.
        {"Select Case with lists, ranges, Is and a string subject",
         "For Each v In Array(1, 5, 12, 40, \"x\")\nSelect Case v\nCase 1, 2\ns = s & \"a\"\nCase 3 To 10\n"
         "s = s & \"b\"\nCase Is >= 40\ns = s & \"d\"\nCase 11, 12\ns = s & \"c\"\nCase Else\ns = s & \"e\"\n"
         "End Select\nNext\nT = s",
         "abcdd"},
        {"ByRef by default, ByVal copies",
         "Sub Bump(ByRef a, ByVal b)\na = a + 1 : b = b + 1\nEnd Sub\nSub Twice(n)\nn = n * 2\nEnd Sub\n"
         "Function T()\nx = 1 : y = 1\nBump x, y\nCall Twice(x)\nT = x & \",\" & y\nEnd Function",
         "4,1"},
        {"ByRef through a function called in an expression",
         "Function Take(s)\nTake = Left(s, 1) : s = Mid(s, 2)\nEnd Function\nFunction T()\nw = \"abc\"\n"
         "T = Take(w) & Take(w) & \"|\" & w\nEnd Function",
         "ab|c"},
        {"ByRef: an array element is passed as a variable, a collection's item as a value",
         "Sub Bump(n)\nn = n + 1\nEnd Sub\nFunction T()\nDim a(2)\na(1) = 5 : i = 1\nBump a(i)\nCall Bump(a(1))\n"
         "Set d = CreateObject(\"Scripting.Dictionary\")\nd(\"k\") = 1\nBump d(\"k\")\nBump d.Item(\"k\")\n"
         "T = a(1) & \",\" & d(\"k\")\nEnd Function",
         "7,1"},
        // Class Statement: Property Get/Let, Class_Initialize, Me and a Default member.
        {"classes",
         "Class Account\nPrivate m_balance\nPublic Owner, Count\nPrivate Sub Class_Initialize()\n"
         "m_balance = 0 : Count = 0\nEnd Sub\nPublic Property Get Balance()\nBalance = m_balance\nEnd Property\n"
         "Public Property Let Balance(v)\nIf v < 0 Then Err.Raise 5\nm_balance = v\nEnd Property\n"
         "Public Function Deposit(amount)\nBalance = Balance + amount\nCount = Count + 1\nSet Deposit = Me\n"
         "End Function\nPublic Default Property Get Summary()\nSummary = Owner & \":\" & m_balance\nEnd Property\n"
         "End Class\nFunction T()\nSet a = New account\na.Owner = \"Ann\"\na.Deposit(5).Deposit 7\n"
         "a.Balance = a.Balance * 2\nT = a.Balance & \"|\" & a.Count & \"|\" & a & \"|\" & TypeName(a) & \"|\" & "
         "(a Is a.Deposit(0))\nEnd Function",
         "24|2|Ann:24|Account|True"},
        {"a class used above its declaration, each object with its own variables, Me",
         "Function T()\nSet p = New Pair : Set q = New Pair\np.SetBoth 1, 2\nOn Error Resume Next\n"
         "p.First = \"x\"\nT = p.First & q.First & p.Second & Err.Number\nEnd Function\nClass Pair\n"
         "Public First, Second\nSub SetBoth(a, b)\nFirst = a : Me.Second = b\nEnd Sub\nEnd Class",
         "x20"},
        {"methods of a class named as members of the document model are called, not read",
         "Class C\nFunction Text()\nText = \"t\"\nEnd Function\nFunction Length()\nLength = 2\nEnd Function\n"
         "Function Item(i)\nItem = i * 2\nEnd Function\nEnd Class\nFunction T()\nSet o = New C\n"
         "T = o.Text & o.Length & o.Item(3)\nEnd Function",
         "t26"},
        {"Exit Function keeps the value so far", "T = 1\nIf True Then Exit Function\nT = 2", "1"},
        {"recursion",
         "Function F(n)\nIf n <= 1 Then F = 1 Else F = n * F(n - 1)\nEnd Function\n"
         "Function T()\nT = F(10)\nEnd Function",
         "3628800"},
        {"procedures called above their declaration share globals and constants",
         "Function T()\nAdd : Add\nT = count\nEnd Function\nConst Rate = 2\nDim count\nSub Add()\ncount = count + "
         "Rate\nEnd Sub",
         "4"},
        {"undeclared names in a procedure are its own",
         "Sub S()\nk = 99\nEnd Sub\nFunction T()\nk = 1\nS\nT = k\nEnd Function", "1"},
        {"top-level code runs first and its variables are global",
         "x = 40\nx = x + 2\nFunction T()\nT = x\nEnd Function", "42"},
        {"ReDim Preserve; assigning an array copies it",
         "Dim a()\nReDim a(1)\na(0) = \"x\" : a(1) = \"y\"\nReDim Preserve a(2)\na(2) = \"z\"\nb = a\n"
         "b(0) = \"changed\"\nT = Join(a, \"\") & UBound(a)",
         "xyz2"},
        {"an array read from a dictionary is a copy",
         "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"k\", Array(1, 2)\na = d(\"k\")\na(0) = 9\n"
         "T = d(\"k\")(0) & a(0)",
         "19"},
        {"two dimensions", "Dim m(2, 3)\nm(2, 3) = 7\nT = m(2, 3) & UBound(m, 1) & UBound(m, 2)", "723"},
        {"With, member calls without parentheses, line continuation",
         "Set d = CreateObject(\"Scripting.Dictionary\")\nWith d\n.Add \"a\", 1\n.Add \"b\", _\n    2\n"
         "T = .Count & .Item(\"b\")\nEnd With",
         "22"},
        {"comments", "T = 1 ' one\nRem T = 2\nT = T + 1 : Rem more", "2"},
        {"On Error Resume Next fills Err",
         "On Error Resume Next\nx = 1 / 0\nT = Err.Number & \" \" & Err.Description\n"
         "Err.Clear\nT = T & \" \" & Err.Number",
         "11 Division by zero 0"},
        {"Err.Raise",
         "On Error Resume Next\nErr.Raise vbObjectError + 7, \"mine\", \"custom\"\n"
         "T = Err.Number & \" \" & Err.Source & \" \" & Err.Description",
         "-2147221497 mine custom"},
        {"On Error GoTo 0 stops resuming", "On Error Resume Next\nOn Error GoTo 0\nT = 1 / 0",
         "error 11: Division by zero"},
        {"a failing call skips only the caller's statement",
         "Function Bad()\nBad = 1 / 0\nEnd Function\nFunction T()\nOn Error Resume Next\nT = \"before\"\nT = Bad()\n"
         "T = T & \" after \" & Err.Number\nEnd Function",
         "before after 11"},
        // Execute Statement: the code runs in the scope of the procedure that calls it.
        {"Eval and Execute in a procedure see its variables",
         "Dim g\nFunction T()\nDim x\nx = 2\nExecute \"x = x * 10 : g = 5\"\nT = Eval(\"x + g\") & \"|\" & x & \"|\" & "
         "g\nEnd Function",
         "25|20|5"},
        {"Eval and Execute see the block's globals and procedures",
         "Dim g\nFunction Twice(x)\nTwice = 2 * x\nEnd Function\nFunction T()\nExecute \"g = Twice(21)\"\n"
         "T = Eval(\"g + 1\") & Eval(\"g = 42\")\nEnd Function",
         "43True"},
        {"Option Explicit", "Option Explicit\nFunction T()\nDim a\na = 1\nT = b\nEnd Function",
         "error 500: Variable is undefined: 'b'"},
        {"Set and Is Nothing", "Set o = Nothing\nT = (o Is Nothing) & IsObject(o)", "TrueTrue"},
        {"bracketed names", "[my value] = 3\nT = [my value] * 2", "6"},
    });
}

TEST_F(VbScriptTest, ConvertsAndOperatesOnVariants)
{
    check({
        {"+ on a numeric string and a number adds", "\"1\" + 2", "3"},
        {"... as a Double", "TypeName(\"1\" + 2)", "Double"},
        {"+ on two strings joins", "\"1\" + \"2\"", "12"},
        {"+ on a string that is no number", "\"a\" + 1", "error 13: Type mismatch"},
        {"& joins numbers", "1 & 2.5", "12.5"},
        {"& skips Null, + keeps it", "(Null & \"x\") & IsNull(Null + 1)", "xTrue"},
        {"Empty counts as 0", "TypeName(Empty + Empty) & (Empty + 1)", "Integer1"},
        {"Integer widens to Long", "TypeName(32767 + 1) & TypeName(200 * 200)", "LongLong"},
        {"Long widens to Double", "TypeName(2147483647 + 1)", "Double"},
        {"/ gives a Double", "TypeName(6 / 3) & (6 / 4)", "Double1.5"},
        {"\\ and Mod truncate toward zero", "(7 \\ 2) & \",\" & (-7 \\ 2) & \",\" & (7 Mod -3) & \",\" & (-7 Mod 3)",
         "3,-3,1,-1"},
        // Arithmetic Operators: \ rounds its operands first, to even.
        {"\\ rounds its operands to even first", "(2.5 \\ 1) & (3.5 \\ 1)", "24"},
        {"^ binds left to right, above negation", "(2 ^ 3 ^ 2) & \",\" & (-2 ^ 2)", "64,-4"},
        {"Booleans are -1 and 0", "(True + True) & TypeName(True + True)", "-2Integer"},
        {"Not, And, Or, Xor on numbers are bitwise", "(Not 0) & (5 And 3) & (5 Or 3) & (5 Xor 3)", "-1176"},
        {"logic with Null", "(True Or Null) & (False And Null) & IsNull(True And Null) & (False Imp Null)",
         "TrueFalseTrueTrue"},
        {"Eqv and Imp", "(True Eqv False) & (True Imp False) & (5 Eqv 3)", "FalseFalse-7"},
        {"strings compare as strings", "(\"10\" < \"9\") & (10 < 9)", "TrueFalse"},
        // Comparison Operators (VBScript): a number is less than a string.
        {"a number is less than a string", "(\"abc\" > 100) & (5 = \"5\")", "TrueFalse"},
        {"joins and comparisons of mixed subtypes",
         "x = \"10\" : z = 2.5\nT = (x > 9) & (y & \"a\") & (z >= 2) & (y < 1) & (x & 1 = \"101\")",
         "TrueaTrueTrueTrue"},
        {"Empty equals 0 and \"\"", "(Empty = 0) & (Empty = \"\")", "TrueTrue"},
        {"a comparison with Null is Null", "IsNull(1 = Null)", "True"},
        {"CInt rounds to even", "CInt(2.5) & CInt(3.5) & CInt(\"1e2\")", "24100"},
        {"CInt overflows", "CInt(40000)", "error 6: Overflow"},
        {"CByte range", "CByte(-1)", "error 6: Overflow"},
        {"CLng and CDbl keep their subtype", "TypeName(CLng(5)) & TypeName(CDbl(5)) & TypeName(CSng(1.5))",
         "LongDoubleSingle"},
        {"CCur keeps four decimals", "CCur(1.23456) & TypeName(CCur(1))", "1.2346Currency"},
        {"CStr of doubles: 15 digits", "CStr(0.1 + 0.2) & \"|\" & CStr(1 / 3) & \"|\" & CStr(1E+20)",
         "0.3|0.333333333333333|1E+20"},
        {"CBool", "CBool(\"true\") & CBool(0) & CBool(-2)", "TrueFalseTrue"},
        {"CBool of text", "CBool(\"x\")", "error 13: Type mismatch"},
        {"group separators are read", "CDbl(\"1,234.5\")", "1234.5"},
        {"dates show in the locale's short format", "CDate(\"2/3/2004\") & \"|\" & #1/2/2003 13:04:05#",
         "2/3/2004|1/2/2003 1:04:05 PM"},
        {"date arithmetic", "(#2/1/2004# - #1/1/2004#) & \"|\" & (#1/31/2004# + 1) & \"|\" & TypeName(#1/1/2004# + 1)",
         "31|2/1/2004|Date"},
        {"VarType", "VarType(\"x\") & \",\" & VarType(Null) & \",\" & VarType(Array()) & \",\" & VarType(1.5)",
         "8,1,8204,5"},
        {"hexadecimal literals are Integers or Longs", "(&HFF + 1) & \",\" & &HFFFF & \",\" & &H10000 & \",\" & &O17",
         "256,-1,65536,15"},
        {"Hex of a negative Integer and Long", "Hex(-1) & \",\" & Hex(CLng(-1))", "FFFF,FFFFFFFF"},
        {"IsNumeric", "IsNumeric(\"12.5\") & IsNumeric(\"abc\") & IsNumeric(Empty) & IsNumeric(\" 1e3 \")",
         "TrueFalseTrueTrue"},
        {"Nothing", "TypeName(Nothing) & IsObject(Nothing) & IsNull(Nothing)", "NothingTrueFalse"},
    });
}

TEST_F(VbScriptTest, ProvidesTheBuiltInFunctions)
{
    check({
        {"Left, Right, Mid, Len",
         "Left(\"abcdef\", 2) & Right(\"abc\", 5) & Mid(\"abcdef\", 2, 3) & Mid(\"abc\", 5) & Len(12345)", "ababcbcd5"},
        {"Len of Null", "IsNull(Len(Null))", "True"},
        {"InStr forms",
         "InStr(\"abcabc\", \"c\") & InStr(4, \"abcabc\", \"c\") & InStr(1, \"ABC\", \"b\", vbTextCompare) & "
         "InStr(\"abc\", \"\")",
         "3621"},
        {"InStrRev", "InStrRev(\"abcabc\", \"b\") & InStrRev(\"abcabc\", \"b\", 4)", "52"},
        // Replace Function: the result begins at start; what comes before it is dropped.
        {"Replace with start drops the text before it", "Replace(\"abcabc\", \"b\", \"\", 3)", "cac"},
        {"Replace with count and text compare",
         "Replace(\"aaa\", \"a\", \"b\", 1, 2) & Replace(\"aXbXc\", \"x\", \"-\", 1, -1, vbTextCompare)", "bbaa-b-c"},
        {"Trim only blanks", "\"[\" & Trim(\"  a b  \") & \"]\" & LTrim(\" x\") & RTrim(\"y \") & \"|\"", "[a b]xy|"},
        {"UCase, LCase, StrReverse", "UCase(\"ab\") & LCase(\"CD\") & StrReverse(\"xyz\")", "ABcdzyx"},
        {"Space and String", "Space(2) & \"|\" & String(3, \"xy\") & String(2, 65)", "  |xxxAA"},
        {"StrComp binary and text", "StrComp(\"a\", \"B\") & StrComp(\"a\", \"B\", 1) & StrComp(\"a\", \"a\")", "1-10"},
        {"Split and Join",
         "Join(Split(\"a,b,,c\", \",\"), \"|\") & UBound(Split(\"\", \",\")) & Split(\"a b c\", \" \", 2)(1)",
         "a|b||c-1b c"},
        {"Join's default delimiter", "Join(Array(1, \"x\", True))", "1 x True"},
        {"Filter",
         "Join(Filter(Array(\"ant\", \"bee\", \"cat\"), \"a\")) & \"|\" & Join(Filter(Array(\"ant\", \"bee\"), \"a\", "
         "False))",
         "ant cat|bee"},
        // Chr Function: codes 128 to 159 are the Windows code page's, not Unicode's.
        {"Chr and Asc use the Windows code page", "AscW(Chr(128)) & \",\" & Asc(ChrW(8364)) & \",\" & Asc(\"A\")",
         "8364,128,65"},
        {"Asc of nothing", "Asc(\"\")", "error 5: Invalid procedure call or argument"},
        {"Escape and Unescape",
         "Escape(\"a b&\" & ChrW(252) & ChrW(8364)) & \"|\" & Unescape(\"%41%u20AC\") = \"A\" & ChrW(8364)", "False"},
        {"Escape", "Escape(\"a b&\" & ChrW(252) & ChrW(8364))", "a%20b%26%FC%u20AC"},
        {"Abs, Int, Fix, Sgn", "Abs(-2.5) & \",\" & Int(-2.5) & \",\" & Fix(-2.5) & \",\" & Sgn(-3)", "2.5,-3,-2,-1"},
        // Round Function: halves go to the even neighbour.
        {"Round rounds halves to even", "Round(2.5) & Round(3.5) & Round(-2.5) & \",\" & Round(1.2345, 2)",
         "24-2,1.23"},
        {"Sqr, Exp, Log, Atn", "Sqr(16) & \",\" & Exp(0) & \",\" & Log(Exp(2)) & \",\" & (Atn(1) * 4)",
         "4,1,2,3.14159265358979"},
        {"Sqr of a negative", "Sqr(-1)", "error 5: Invalid procedure call or argument"},
        {"Hex and Oct", "Hex(255) & \",\" & Oct(8)", "FF,10"},
        {"Rnd starts from a fixed seed", "Rnd()", "0.7055475"},
        {"FormatNumber", "FormatNumber(1234.5) & \"|\" & FormatNumber(0.5, 0) & \"|\" & FormatNumber(-0.25, 1, 0, -1)",
         "1,234.50|1|(.3)"},
        // FormatNumber Function: halves round away from zero, also those a binary fraction holds just below.
        {"FormatNumber rounds halves away from zero",
         "FormatNumber(2.0005, 3) & \"|\" & FormatNumber(1.005, 2) & \"|\" & FormatNumber(-12.5, 0, , -1) & \"|\" & "
         "FormatNumber(-0.0004, 3) & \"|\" & FormatNumber(\"4999762.6304\", 3, True, False, False) & \"|\" & "
         "FormatNumber(1234567.891, 2)",
         "2.001|1.01|(13)|0.000|4999762.630|1,234,567.89"},
        {"FormatNumber reads no hexadecimal of the engine's kind", "FormatNumber(\"0x10\", 1, -1, 0, False)",
         "error 13: Type mismatch"},
        {"FormatNumber of texts without grouping, read as numbers",
         "FormatNumber(\"2.0005\", 3, -1, 0, False) & \"|\" & FormatNumber(\"1234.5678\", 2, -1, 0, False) & \"|\" & "
         "FormatNumber(\"9.999 \", 2, -1, 0, False) & \"|\" & FormatNumber(\"1d2\", 1, -1, 0, False)",
         "2.001|1234.57|10.00|100.0"},
        {"FormatNumber gives back a text that has the digits asked for, and only such a text",
         "FormatNumber(\"5000002.630\", 3, True, False, False) & \"|\" & "
         "FormatNumber(\"12345678901234567\", 0, True, False, False) & \"|\" & "
         "FormatNumber(\"1234.500\", 3) & \"|\" & FormatNumber(\"0.500\", 3, False, False, False) & \"|\" & "
         "FormatNumber(\"1.5e1\", 3, True, False, False) & \"|\" & FormatNumber(\"2.50\", 1, True, False, False)",
         "5000002.630|12345678901234568|1,234.500|.500|15.000|2.5"},
        {"FormatNumber gives back a text with digits given by a variable",
         "Dim n\nn = 3\nT = FormatNumber(\"5000002.630\", n, True, False, False) & \"|\" & "
         "FormatNumber(\"12345678901234567\", n - 3, True, False, False)",
         "5000002.630|12345678901234568"},
        {"FormatNumber checks its other arguments also for a text it gives back",
         "FormatNumber(\"1.50\", 2, \"x\", False, False)", "error 13: Type mismatch"},
        {"FormatNumber of texts in another locale",
         "T = SetLocale(\"de-de\") & \"|\" & FormatNumber(\"1.500\", 3, True, False, False) & \"|\" & "
         "FormatNumber(\"1,500\", 3, True, False, False)",
         "1033|1500,000|1,500"},
        {"FormatCurrency and FormatPercent", "FormatCurrency(1234.5) & \"|\" & FormatPercent(0.256, 1)",
         "$1,234.50|25.6%"},
        {"FormatDateTime",
         "FormatDateTime(#1/2/2003 13:04:05#, vbLongDate) & \"|\" & FormatDateTime(#1/2/2003 13:04:05#, vbShortTime)"
         " & \"|\" & FormatDateTime(#1/2/2003 13:04:05#, vbLongTime)",
         "Thursday, January 2, 2003|13:04|1:04:05 PM"},
        // DateSerial Function: out-of-range parts carry over; two-digit years below 30 are 20xx.
        {"DateSerial carries over and widens years",
         "DateSerial(2004, 2, 30) & \"|\" & DateSerial(99, 1, 1) & \"|\" & DateSerial(29, 1, 1)",
         "3/1/2004|1/1/1999|1/1/2029"},
        {"TimeSerial", "TimeSerial(13, 30, 0)", "1:30:00 PM"},
        {"DateAdd keeps to the month's last day",
         "DateAdd(\"m\", 1, #1/31/2004#) & \"|\" & DateAdd(\"d\", -1, #3/1/2004#) & \"|\" & DateAdd(\"h\", 25, "
         "#1/1/2004#)",
         "2/29/2004|2/29/2004|1/2/2004 1:00:00 AM"},
        // DateDiff Function: years count the boundaries crossed, not whole years.
        {"DateDiff counts boundaries",
         "DateDiff(\"d\", #1/1/2004#, #3/1/2004#) & \",\" & DateDiff(\"yyyy\", #12/31/2003#, #1/1/2004#)", "60,1"},
        {"DatePart", "DatePart(\"q\", #5/5/2004#) & DatePart(\"y\", #2/1/2004#) & DatePart(\"w\", #1/4/2004#)", "2321"},
        {"parts of a date",
         "Year(#1/2/2003 13:04:05#) & Month(#1/2/2003#) & Day(#1/2/2003#) & Hour(#1:04:05 PM#)"
         " & Minute(#13:04:05#) & Second(#13:04:05#)",
         "2003121345"},
        {"Weekday and its first day", "Weekday(#1/2/2003#) & Weekday(#1/2/2003#, vbMonday)", "54"},
        {"WeekdayName and MonthName", "WeekdayName(1) & WeekdayName(1, True, vbMonday) & MonthName(2, True)",
         "SundayMonFeb"},
        {"DateValue and TimeValue", "DateValue(\"January 2, 2003\") & \"|\" & TimeValue(\"1:04 PM\")",
         "1/2/2003|1:04:00 PM"},
        {"IsDate", "IsDate(\"2/30/2004\") & IsDate(\"2/29/2004\") & IsDate(\"soon\")", "FalseTrueFalse"},
        {"IsEmpty, IsArray, LBound", "IsEmpty(nothingYet) & IsArray(Array()) & LBound(Array(1))", "TrueTrue0"},
        {"locale from the program, then SetLocale",
         "T = GetLocale() & \"|\" & SetLocale(\"de-de\") & \"|\" & CStr(1.5) & \"|\" & FormatNumber(1234.5) & \"|\""
         " & CDbl(\"1,5\") & \"|\" & Month(CDate(\"2.3.2004\")) & \"|\" & GetLocale()",
         "1033|1033|1,5|1.234,50|1,5|3|1031"},
        {"RegExp",
         "Set r = New RegExp\nr.Pattern = \"(\\d+)-(\\d+)\"\nr.Global = True\nSet ms = r.Execute(\"1-2 and 30-40\")\n"
         "T = ms.Count & \"|\" & ms(1).SubMatches(0) & \"|\" & ms.Item(1).FirstIndex & \"|\" & r.Replace(\"1-2\", "
         "\"$2-$1\")"
         " & \"|\" & ms(0)",
         "2|30|8|2-1|1-2"},
        {"RegExp IgnoreCase and Test",
         "Set r = CreateObject(\"VBScript.RegExp\")\nr.Pattern = \"^ab\"\nT = r.Test(\"ABc\")\n"
         "r.IgnoreCase = True\nT = T & r.Test(\"ABc\")",
         "FalseTrue"},
        {"For Each over matches",
         "Set r = New RegExp\nr.Global = True\nr.Pattern = \"[a-z]\"\n"
         "For Each m In r.Execute(\"a1b2\")\nT = T & m.Value\nNext",
         "ab"},
        {"Dictionary",
         "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"k\", 1\nd(\"K\") = 2\nd.Item(\"k\") = 3\n"
         "x = d(\"missing\")\nT = d.Count & Join(d.Keys, \",\") & Join(d.Items, \",\") & d.Exists(\"K\")\n"
         "d.Remove \"missing\"\nFor Each k In d\nT = T & k\nNext",
         "3k,K,missing3,2,TruekK"},
        {"Dictionary in text mode",
         "Set d = CreateObject(\"Scripting.Dictionary\")\nd.CompareMode = vbTextCompare\n"
         "d.Add \"Key\", 1\nT = d.Exists(\"KEY\") & TypeName(d)",
         "TrueDictionary"},
        {"Dictionary refuses a second key", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add 1, 1\nd.Add 1, 2",
         "error 457: This key is already associated with an element of this collection"},
        {"other classes", "Set f = CreateObject(\"Scripting.FileSystemObject\")\nT = 1",
         "error 429: ActiveX component can't create object: 'Scripting.FileSystemObject'"},
    });
}

TEST_F(VbScriptTest, ReportsWhatFails)
{
    check({
        {"a Function without its end", "Function T()\nT = 1\n", "syntax 1014: Expected 'End Function', line 3"},
        {"If without Then", "Function T()\nIf x\nEnd If\nEnd Function", "syntax 1017: Expected 'Then', line 2"},
        {"an unterminated string", "Function T()\n\nT = \"abc\nEnd Function",
         "syntax 1033: Unterminated string constant, line 3"},
        {"For without Next", "Function T()\nFor i = 1 To 2\nEnd Function", "syntax 1020: Expected 'Next', line 3"},
        {"Loop without Do", "Function T()\nLoop\nEnd Function", "syntax 1014: Expected 'End Function', line 2"},
        {"a missing parenthesis", "Function T()\nT = (1 + 2\nEnd Function", "syntax 1006: Expected ')', line 2"},
        // VBScript Syntax Errors: the page's table gives 1014 for an invalid character, the engine reports 1032.
        {"a stray character", "Function T()\nT = 1 ? 2\nEnd Function", "syntax 1032: Invalid character '?', line 2"},
        {"a class without its end", "Class Point\nPublic X\nFunction T()\nEnd Function",
         "syntax 1014: Expected 'End Class', line 4"},
        // VBScript's list of syntax errors, number 1058: its own wording.
        {"a default Property Let",
         "Class C\nPublic Default Property Let V(x)\nEnd Property\nEnd Class\nFunction T()\nEnd Function",
         "syntax 1058: 'Default' specification can only be on Property Get, line 2"},
        {"a private member from outside",
         "Class C\nPrivate p\nEnd Class\nFunction T()\nSet o = New C\nT = o.p\nEnd Function",
         "error 438: Object doesn't support this property or method: 'p'"},
        {"assigning a property without Let",
         "Class C\nProperty Get V()\nV = 1\nEnd Property\nEnd Class\nFunction T()\nSet o = New C\no.V = 2\nEnd "
         "Function",
         "error 450: Wrong number of arguments or invalid property assignment: 'v'"},
        {"a member of an array, named as a member of a node list", "a = Array(1, 2)\nT = a.Length",
         "error 424: Object required"},
        {"New of no class", "Set o = New Nope\nT = 1", "error 506: Class not defined: 'Nope'"},
        {"a procedure declared twice", "Sub S()\nEnd Sub\nSub S()\nEnd Sub\nFunction T()\nEnd Function",
         "syntax 1041: Name redefined: 'S', line 3"},
        {"Eval of text that does not parse", "On Error Resume Next\nx = Eval(\"1 +\")\nT = Err.Number", "1023"},
        {"Type mismatch", "T = \"a\" * 2", "error 13: Type mismatch"},
        {"Subscript out of range", "Dim a(2)\nT = a(3)", "error 9: Subscript out of range"},
        {"Object required", "Set o = Nothing\nT = o.Value", "error 424: Object required"},
        {"Wrong number of arguments", "Function F(a)\nEnd Function\nFunction T()\nT = F(1, 2)\nEnd Function",
         "error 450: Wrong number of arguments or invalid property assignment: 'F'"},
        {"an unknown function", "T = Nope(1)", "error 13: Type mismatch: 'Nope'"},
        {"an unknown member", "Set d = CreateObject(\"Scripting.Dictionary\")\nT = d.Frobnicate",
         "error 438: Object doesn't support this property or method: 'frobnicate'"},
        {"Null where a value is needed", "T = CStr(Null)", "error 94: Invalid use of Null"},
        {"runaway recursion", "Function F(n)\nF = F(n + 1)\nEnd Function\nFunction T()\nT = F(1)\nEnd Function",
         "error 28: Out of stack space"},
    });
}
