#include "scripts/VbTranslator.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace {

struct SyntaxError
{
    int line;
    QString message;
};

enum class Tok
{
    End,
    Newline,
    Ident,
    Number,
    String,
    Date,
    Op,
};

struct Token
{
    Tok kind = Tok::End;
    QString text; // lower case for names, the operator, or the literal's JavaScript
    QString raw;  // a name as written
    int line = 1;
};

QString jsString(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case 0x2028:
            out += QStringLiteral("\\u2028");
            break;
        case 0x2029:
            out += QStringLiteral("\\u2029");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + u'"';
}

// Literals carry their subtype: a plain number is an Integer or Long when it is whole and in range,
// so a whole Double is boxed.
QString numberLiteral(double value, bool isDouble)
{
    if (std::isinf(value))
        return QStringLiteral("$throw(6)");
    const QString text = QString::number(value, 'g', 17);
    if (isDouble && value == std::floor(value))
        return QStringLiteral("$dbl(%1)").arg(text);
    if (!isDouble && std::abs(value) > 2147483647.0)
        return QStringLiteral("$dbl(%1)").arg(text);
    return value < 0 ? u'(' + text + u')' : text;
}

class Lexer
{
public:
    explicit Lexer(const QString& source)
        : m_s(source)
    {}

    std::vector<Token> run()
    {
        std::vector<Token> tokens;
        while (m_i < m_s.size()) {
            const QChar c = m_s[m_i];
            if (c == u' ' || c == u'\t' || c == u'\f' || c == QChar(0xA0) || c == QChar(0xFEFF)) {
                ++m_i;
            } else if (c == u'\r' || c == u'\n') {
                push(tokens, Tok::Newline, QStringLiteral("\n"));
                if (c == u'\r' && m_i + 1 < m_s.size() && m_s[m_i + 1] == u'\n')
                    ++m_i;
                ++m_i;
                ++m_line;
            } else if (c == u'\'') {
                skipToEndOfLine();
            } else if (c == u'"') {
                push(tokens, Tok::String, jsString(string()));
            } else if (c.isDigit() || (c == u'.' && next().isDigit() && !followsValue(tokens))) {
                push(tokens, Tok::Number, number());
            } else if (c == u'&' && (next() == u'h' || next() == u'H' || next() == u'o' || next() == u'O')) {
                push(tokens, Tok::Number, radixNumber());
            } else if (c == u'#') {
                push(tokens, Tok::Date, date());
            } else if (c == u'_' && continuation()) {
                continue;
            } else if (c.isLetter() || c == u'[') {
                name(tokens);
            } else {
                op(tokens);
            }
        }
        push(tokens, Tok::Newline, QStringLiteral("\n"));
        push(tokens, Tok::End, {});
        return tokens;
    }

private:
    QChar next(int ahead = 1) const { return m_i + ahead < m_s.size() ? m_s[m_i + ahead] : QChar(); }

    static bool followsValue(const std::vector<Token>& tokens)
    {
        if (tokens.empty())
            return false;
        const Token& last = tokens.back();
        return last.kind == Tok::Ident || (last.kind == Tok::Op && last.text == u")");
    }

    void push(std::vector<Token>& tokens, Tok kind, const QString& text, const QString& raw = {})
    {
        tokens.push_back({kind, text, raw, m_line});
    }

    void skipToEndOfLine()
    {
        while (m_i < m_s.size() && m_s[m_i] != u'\r' && m_s[m_i] != u'\n')
            ++m_i;
    }

    QString string()
    {
        QString value;
        for (++m_i;; ++m_i) {
            if (m_i >= m_s.size() || m_s[m_i] == u'\r' || m_s[m_i] == u'\n')
                throw SyntaxError{m_line, QStringLiteral("Unterminated string constant")};
            if (m_s[m_i] == u'"') {
                if (next() != u'"') {
                    ++m_i;
                    return value;
                }
                ++m_i;
            }
            value += m_s[m_i];
        }
    }

    QString number()
    {
        const qsizetype start = m_i;
        while (m_i < m_s.size() && m_s[m_i].isDigit())
            ++m_i;
        bool isDouble = false;
        if (m_i < m_s.size() && m_s[m_i] == u'.') {
            isDouble = true;
            ++m_i;
            while (m_i < m_s.size() && m_s[m_i].isDigit())
                ++m_i;
        }
        if (m_i < m_s.size() && (m_s[m_i] == u'e' || m_s[m_i] == u'E')) {
            qsizetype j = m_i + 1;
            if (j < m_s.size() && (m_s[j] == u'+' || m_s[j] == u'-'))
                ++j;
            if (j < m_s.size() && m_s[j].isDigit()) {
                isDouble = true;
                m_i = j;
                while (m_i < m_s.size() && m_s[m_i].isDigit())
                    ++m_i;
            }
        }
        if (m_i < m_s.size() && (m_s[m_i] == u'#' || m_s[m_i] == u'!')) {
            isDouble = true;
            ++m_i;
        } else if (m_i < m_s.size() && (m_s[m_i] == u'%' || m_s[m_i] == u'&' || m_s[m_i] == u'@')) {
            ++m_i;
        }
        QString digits = m_s.mid(start, m_i - start);
        while (!digits.isEmpty() && !digits.back().isDigit() && digits.back() != u'.')
            digits.chop(1);
        const double value = digits.toDouble();
        return numberLiteral(value, isDouble || value > 2147483647.0);
    }

    // &H and &O literals wrap around as the 16- or 32-bit integers they fit in.
    QString radixNumber()
    {
        const bool hex = next().toLower() == u'h';
        m_i += 2;
        const qsizetype start = m_i;
        while (m_i < m_s.size() && (hex ? isxdigit(m_s[m_i].toLatin1()) : (m_s[m_i] >= u'0' && m_s[m_i] <= u'7')))
            ++m_i;
        if (m_i < m_s.size() && m_s[m_i] == u'&')
            ++m_i;
        bool ok = false;
        const qulonglong value = m_s.mid(start, m_i - start).remove(u'&').toULongLong(&ok, hex ? 16 : 8);
        if (!ok || value > 0xFFFFFFFFull)
            throw SyntaxError{m_line, QStringLiteral("Invalid number")};
        qint64 signedValue = qint64(value);
        if (value <= 0xFFFF)
            signedValue = qint16(quint16(value));
        else
            signedValue = qint32(quint32(value));
        return numberLiteral(double(signedValue), false);
    }

    QString date()
    {
        const qsizetype start = ++m_i;
        while (m_i < m_s.size() && m_s[m_i] != u'#' && m_s[m_i] != u'\n')
            ++m_i;
        if (m_i >= m_s.size() || m_s[m_i] != u'#')
            throw SyntaxError{m_line, QStringLiteral("Expected '#'")};
        return QStringLiteral("$datelit(%1)").arg(jsString(m_s.mid(start, m_i++ - start).trimmed()));
    }

    bool continuation()
    {
        qsizetype j = m_i + 1;
        while (j < m_s.size() && (m_s[j] == u' ' || m_s[j] == u'\t'))
            ++j;
        if (j < m_s.size() && m_s[j] != u'\r' && m_s[j] != u'\n')
            return false;
        if (j == m_s.size()) {
            // At the end of the text there is no next line to join.
            m_i = j;
            return true;
        }
        if (m_s[j] == u'\r' && j + 1 < m_s.size() && m_s[j + 1] == u'\n')
            ++j;
        m_i = j + 1;
        ++m_line;
        return true;
    }

    void name(std::vector<Token>& tokens)
    {
        QString raw;
        if (m_s[m_i] == u'[') {
            const qsizetype end = m_s.indexOf(u']', m_i);
            const qsizetype lineEnd = m_s.indexOf(u'\n', m_i);
            if (end < 0 || (lineEnd >= 0 && lineEnd < end))
                throw SyntaxError{m_line, QStringLiteral("Expected ']'")};
            raw = m_s.mid(m_i + 1, end - m_i - 1);
            m_i = end + 1;
        } else {
            const qsizetype start = m_i;
            while (m_i < m_s.size() && (m_s[m_i].isLetterOrNumber() || m_s[m_i] == u'_'))
                ++m_i;
            raw = m_s.mid(start, m_i - start);
            // Type characters of VBA names are allowed and mean nothing here.
            if (m_i < m_s.size() && QStringView(u"$%&").contains(m_s[m_i]) && raw.size() > 0)
                ++m_i;
        }
        const QString lower = raw.toLower();
        const bool statementStart = tokens.empty() || tokens.back().kind == Tok::Newline ||
                                    (tokens.back().kind == Tok::Op && tokens.back().text == u":");
        if (lower == u"rem" && statementStart) {
            skipToEndOfLine();
            return;
        }
        push(tokens, Tok::Ident, lower, raw);
    }

    void op(std::vector<Token>& tokens)
    {
        static const QStringList twoChar{QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">="),
                                         QStringLiteral("=<"), QStringLiteral("=>")};
        const QString pair = m_s.mid(m_i, 2);
        if (twoChar.contains(pair)) {
            QString op = pair;
            if (op == u"=<")
                op = QStringLiteral("<=");
            else if (op == u"=>")
                op = QStringLiteral(">=");
            push(tokens, Tok::Op, op);
            m_i += 2;
            return;
        }
        if (QStringView(u"&+-*/\\^=<>(),.:").contains(m_s[m_i])) {
            push(tokens, Tok::Op, QString(m_s[m_i]));
            ++m_i;
            return;
        }
        throw SyntaxError{m_line, QStringLiteral("Invalid character '%1'").arg(m_s[m_i])};
    }

    const QString& m_s;
    qsizetype m_i = 0;
    int m_line = 1;
};

// The runtime's functions that a bare name or a call can reach; the runtime keeps them on $B.
const QSet<QString>& builtinFunctions()
{
    static const QSet<QString> names = [] {
        QSet<QString> set;
        for (const char* name : {"abs",
                                 "array",
                                 "asc",
                                 "ascb",
                                 "ascw",
                                 "atn",
                                 "cbool",
                                 "cbyte",
                                 "ccur",
                                 "cdate",
                                 "cdbl",
                                 "chr",
                                 "chrb",
                                 "chrw",
                                 "cint",
                                 "clng",
                                 "cos",
                                 "createobject",
                                 "csng",
                                 "cstr",
                                 "date",
                                 "dateadd",
                                 "datediff",
                                 "datepart",
                                 "dateserial",
                                 "datevalue",
                                 "day",
                                 "escape",
                                 "eval",
                                 "execute",
                                 "executeglobal",
                                 "exp",
                                 "filter",
                                 "fix",
                                 "formatcurrency",
                                 "formatdatetime",
                                 "formatnumber",
                                 "formatpercent",
                                 "getlocale",
                                 "getobject",
                                 "getref",
                                 "hex",
                                 "hour",
                                 "instr",
                                 "instrrev",
                                 "int",
                                 "isarray",
                                 "isdate",
                                 "isempty",
                                 "isnull",
                                 "isnumeric",
                                 "isobject",
                                 "join",
                                 "lbound",
                                 "lcase",
                                 "left",
                                 "len",
                                 "log",
                                 "ltrim",
                                 "mid",
                                 "minute",
                                 "month",
                                 "monthname",
                                 "now",
                                 "oct",
                                 "randomize",
                                 "replace",
                                 "right",
                                 "rgb",
                                 "rnd",
                                 "round",
                                 "rtrim",
                                 "second",
                                 "setlocale",
                                 "sgn",
                                 "sin",
                                 "space",
                                 "split",
                                 "sqr",
                                 "strcomp",
                                 "string",
                                 "strreverse",
                                 "tan",
                                 "time",
                                 "timer",
                                 "timeserial",
                                 "timevalue",
                                 "trim",
                                 "typename",
                                 "ubound",
                                 "ucase",
                                 "unescape",
                                 "vartype",
                                 "weekday",
                                 "weekdayname",
                                 "year",
                                 "scriptengine",
                                 "scriptenginemajorversion",
                                 "scriptengineminorversion",
                                 "scriptenginebuildversion",
                                 "msgbox",
                                 "inputbox"})
            set.insert(QString::fromLatin1(name));
        return set;
    }();
    return names;
}

// Members of the document model read without the lookup in any case: their spelling, whether
// they are methods, and whether they belong to node lists rather than to nodes.
struct KnownMember
{
    QString spelling;
    bool isMethod = false;
    bool ofList = false;
};

const std::map<QString, KnownMember>& knownMembers()
{
    static const std::map<QString, KnownMember> members = [] {
        std::map<QString, KnownMember> map;
        const auto add = [&](const char* name, bool isMethod, bool ofList) {
            map[QString::fromLatin1(name).toLower()] = {QString::fromLatin1(name), isMethod, ofList};
        };
        for (const char* property : {"text",
                                     "xml",
                                     "childNodes",
                                     "nodeName",
                                     "nodeValue",
                                     "nodeType",
                                     "firstChild",
                                     "lastChild",
                                     "parentNode",
                                     "nextSibling",
                                     "previousSibling",
                                     "attributes",
                                     "documentElement",
                                     "baseName",
                                     "prefix",
                                     "namespaceURI",
                                     "ownerDocument",
                                     "parseError",
                                     "value",
                                     "name"})
            add(property, false, false);
        for (const char* method : {"selectNodes", "selectSingleNode", "getAttribute", "setAttribute", "appendChild",
                                   "createElement", "createTextNode"})
            add(method, true, false);
        add("length", false, true);
        for (const char* method : {"item", "nextNode", "getNamedItem"})
            add(method, true, true);
        return map;
    }();
    return members;
}

// What tells the document model's objects from every other value, in translated code: a node
// carries its number, a node list its mark. Each is one cached property read, where a typeof
// or an `in` is a call into the engine.
QString isDomObject(const QString& value, bool list)
{
    return list ? QStringLiteral("%1!=null&&%1.__collection===true").arg(value)
                : QStringLiteral("%1!=null&&%1.__node>=0").arg(value);
}

// What translated code calls of the runtime, bound once per block.
const QStringList& runtimeNames()
{
    static const QStringList names =
        QStringLiteral("$add $sub $mul $div $idiv $mod $pow $neg $pos $cat $eq $ne $lt $putback "
                       "$gt $le $ge $is $not $and $or $xor $eqv $imp "
                       "$b $i1 $idx $setidx $get $call $set $setcall $cp $dim $redim "
                       "$erase $each $fornum $forgo $classproto $dbl $datelit $new "
                       "$throw $undef $nofunction $onerror $err $B $NULL $procs "
                       "$fromxpath $toxpath $asvb $ceq $cne $clt $cgt $cle $cge $NUMBER $STRING $OBJECT $FUNCTION "
                       "$fixedForms $forto")
            .split(u' ');
    return names;
}

const QHash<QString, QString>& builtinConstants()
{
    static const QHash<QString, QString> constants = [] {
        QHash<QString, QString> map;
        const auto add = [&](const char* name, const char* code) {
            map.insert(QString::fromLatin1(name), QString::fromLatin1(code));
        };
        add("vbcrlf", "\"\\r\\n\"");
        add("vbnewline", "\"\\r\\n\"");
        add("vbcr", "\"\\r\"");
        add("vblf", "\"\\n\"");
        add("vbtab", "\"\\t\"");
        add("vbback", "\"\\b\"");
        add("vbformfeed", "\"\\f\"");
        add("vbverticaltab", "\"\\v\"");
        add("vbnullchar", "\"\\0\"");
        add("vbnullstring", "\"\"");
        add("vbobjecterror", "$dbl(-2147221504)");
        const char* const numbered[][2] = {
            {"vbbinarycompare", "0"},   {"vbtextcompare", "1"},
            {"vbdatabasecompare", "2"}, {"vbusesystemdayofweek", "0"},
            {"vbsunday", "1"},          {"vbmonday", "2"},
            {"vbtuesday", "3"},         {"vbwednesday", "4"},
            {"vbthursday", "5"},        {"vbfriday", "6"},
            {"vbsaturday", "7"},        {"vbfirstjan1", "1"},
            {"vbfirstfourdays", "2"},   {"vbfirstfullweek", "3"},
            {"vbgeneraldate", "0"},     {"vblongdate", "1"},
            {"vbshortdate", "2"},       {"vblongtime", "3"},
            {"vbshorttime", "4"},       {"vbusedefault", "(-2)"},
            {"vbtrue", "(-1)"},         {"vbfalse", "0"},
            {"vbempty", "0"},           {"vbnull", "1"},
            {"vbinteger", "2"},         {"vblong", "3"},
            {"vbsingle", "4"},          {"vbdouble", "5"},
            {"vbcurrency", "6"},        {"vbdate", "7"},
            {"vbstring", "8"},          {"vbobject", "9"},
            {"vberror", "10"},          {"vbboolean", "11"},
            {"vbvariant", "12"},        {"vbdataobject", "13"},
            {"vbdecimal", "14"},        {"vbbyte", "17"},
            {"vbarray", "8192"},        {"vbokonly", "0"},
            {"vbblack", "0"},           {"vbred", "255"},
            {"vbgreen", "65280"},       {"vbblue", "16711680"},
            {"vbwhite", "16777215"},
        };
        for (const auto& [name, code] : numbered)
            add(name, code);
        return map;
    }();
    return constants;
}

QString mangle(const QString& lowerName)
{
    QString out = QStringLiteral("v$");
    for (const QChar c : lowerName) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_')
            out += c;
        else
            out += QStringLiteral("$%1_").arg(c.unicode(), 0, 16);
    }
    return out;
}

struct Procedure
{
    QString name;
    bool isFunction = false;
    QStringList params; // lower case
    std::vector<bool> byRef;
    QSet<QString> locals;  // parameters, Dim, Const, ReDim
    QSet<QString> written; // names assigned or passed on, to tell which ByRef parameters need copying back
};

// What a class holds under a name: a variable of each object, a method, or a property made of
// Property Get, Let and Set procedures.
struct ClassMember
{
    enum Kind
    {
        Field,
        Method,
        Property,
    } kind = Field;
    bool isPublic = true;
    bool getTakesArguments = false;
    bool hasGet = false;
    bool hasLet = false;
};

struct ClassInfo
{
    QString name;
    QHash<QString, ClassMember> members;
    QHash<QString, Procedure> procs; // "name" for methods, "get name", "let name", "set name"
    QStringList fields;              // what the constructor sets up, in order
    QStringList bindings;            // the prototype's members
};

// An expression's JavaScript, and the variable it names when it is nothing but a variable.
struct Expr
{
    QString code;
    QString variable;
    QString condition = {}; // a comparison's code as a condition, true or false
    bool fresh = false;     // a value made anew, never an array that something else holds
    QString array = {};     // an element of the array in this variable, at indices
    std::vector<Expr> indices = {};
};

class Translator
{
public:
    Translator(std::vector<Token> tokens, const QStringList& knownProcedures)
        : m_t(std::move(tokens))
    {
        for (const QString& name : knownProcedures)
            m_external.insert(name.toLower());
    }

    // inScope: the code runs where Execute was called, so it declares no variables of its own.
    VbTranslation program(bool inScope = false)
    {
        // The first pass learns every declaration, the second uses them: a procedure may be
        // called above the line that declares it.
        run(false);
        do {
            m_again = false;
            run(true);
        } while (m_again);
        // Variables are global, shared with later blocks and Eval; the block's own code runs in a
        // closure that holds the runtime's functions, as the engine looks up global names slowly.
        QString globals = QStringLiteral("var $refs");
        QStringList names(m_globals.begin(), m_globals.end());
        names.sort();
        for (const QString& name : names)
            globals += QStringLiteral(", ") + mangle(name);
        if (inScope)
            globals.clear();
        QString locals = QStringLiteral("var $oe = 0");
        for (const QString& name : runtimeNames())
            locals += QStringLiteral(", %1 = $G.%1").arg(name);
        QStringList builtins(m_builtinsUsed.begin(), m_builtinsUsed.end());
        builtins.sort();
        for (const QString& name : builtins)
            locals += QStringLiteral(", $B$%1 = $G.$B.%1").arg(name);
        for (const QString& temp : m_topTemps)
            locals += QStringLiteral(", ") + temp;
        // Classes are known to the whole block, and to later ones, before any code runs.
        QStringList classes(m_classes.keyBegin(), m_classes.keyEnd());
        classes.sort();
        for (const QString& name : classes)
            locals += QStringLiteral(";$G.$classes[%1]=%2").arg(jsString(name), classFunction(name));
        VbTranslation result;
        result.code = globals + QStringLiteral(";(function ($G) {") + locals + u';' + m_out + u'\n';
        for (const QString& key : m_procOrder) {
            const Procedure& proc = m_procs[key];
            result.procedures << proc.name;
            // What XPath calls: its numbers are Doubles, and it cannot take Empty, Null or arrays.
            QStringList params;
            QStringList args;
            for (qsizetype i = 0; i < proc.params.size(); ++i) {
                params << QStringLiteral("a%1").arg(i);
                args << QStringLiteral("(typeof a%1===$NUMBER?$fromxpath(a%1):a%1)").arg(i);
            }
            // XPath passes no undefined values: a missing or an extra argument shows as one, and
            // reading `arguments` would make one object per call.
            const QString miscounted = params.isEmpty()
                                           ? QStringLiteral("$more!==undefined")
                                           : QStringLiteral("$more!==undefined||%1===undefined").arg(params.back());
            params << QStringLiteral("$more");
            result.code += QStringLiteral("$procs[%1] = %2; $G[%3] = function (%4) { var $r; if (%5) "
                                          "$throw(450, %3); try { return %6; } catch (e) { throw $asvb(e); } };\n")
                               .arg(jsString(key), mangle(key), jsString(proc.name), params.join(u','), miscounted)
                               .arg(proc.isFunction ? QStringLiteral("typeof($r=%1(%2))===$STRING?$r:$toxpath($r)")
                                                          .arg(mangle(key), args.join(u','))
                                                    : QStringLiteral("(%1(%2), '')").arg(mangle(key), args.join(u',')));
        }
        result.code += QStringLiteral("})($global);\n");
        return result;
    }

    VbTranslation expression()
    {
        m_pass2 = true;
        m_expression = true;
        const Expr e = parseExpr();
        if (!atStatementEnd())
            fail(QStringLiteral("Expected end of statement"));
        VbTranslation result;
        // Its temporaries are its own: an Eval may run in the middle of an expression that uses
        // the same names.
        result.code = m_topTemps.isEmpty()
                          ? u'(' + e.code + u')'
                          : QStringLiteral("(function(){var %1;return (%2);})()").arg(m_topTemps.join(u','), e.code);
        return result;
    }

private:
    // Tokens

    const Token& tok() const { return m_t[m_p]; }
    const Token& peek(int ahead = 1) const { return m_t[std::min(m_p + ahead, m_t.size() - 1)]; }
    bool isOp(const char* op) const { return tok().kind == Tok::Op && tok().text == QLatin1String(op); }
    bool isWord(const char* word) const { return tok().kind == Tok::Ident && tok().text == QLatin1String(word); }
    bool peekWord(int ahead, const char* word) const
    {
        return peek(ahead).kind == Tok::Ident && peek(ahead).text == QLatin1String(word);
    }

    [[noreturn]] void fail(const QString& message) const { throw SyntaxError{tok().line, message}; }

    void expectOp(const char* op)
    {
        if (!isOp(op))
            fail(QStringLiteral("Expected '%1'").arg(QLatin1String(op)));
        ++m_p;
    }
    void expectWord(const char* word, const char* shown)
    {
        if (!isWord(word))
            fail(QStringLiteral("Expected '%1'").arg(QLatin1String(shown)));
        ++m_p;
    }
    bool acceptWord(const char* word)
    {
        if (!isWord(word))
            return false;
        ++m_p;
        return true;
    }
    bool acceptOp(const char* op)
    {
        if (!isOp(op))
            return false;
        ++m_p;
        return true;
    }

    static bool isReserved(const QString& word)
    {
        static const QSet<QString> reserved = [] {
            QSet<QString> set;
            for (const char* w :
                 {"and",  "byref",  "byval",  "call", "case",     "class",   "const",  "dim",   "do",     "each",
                  "else", "elseif", "empty",  "end",  "eqv",      "erase",   "exit",   "false", "for",    "function",
                  "if",   "imp",    "in",     "is",   "loop",     "mod",     "new",    "next",  "not",    "nothing",
                  "null", "on",     "option", "or",   "preserve", "private", "public", "redim", "select", "set",
                  "step", "sub",    "then",   "to",   "true",     "until",   "wend",   "while", "with",   "xor"})
                set.insert(QString::fromLatin1(w));
            return set;
        }();
        return reserved.contains(word);
    }

    // A name that may be declared or used as a variable.
    Token expectName()
    {
        if (tok().kind != Tok::Ident || isReserved(tok().text))
            fail(QStringLiteral("Expected identifier"));
        return m_t[m_p++];
    }

    bool atStatementEnd() const
    {
        return tok().kind == Tok::Newline || tok().kind == Tok::End || isOp(":") ||
               (m_singleLineIf > 0 && isWord("else"));
    }

    void endStatement()
    {
        if (!atStatementEnd())
            fail(QStringLiteral("Expected end of statement"));
    }

    void skipSeparators()
    {
        while (tok().kind == Tok::Newline || isOp(":"))
            ++m_p;
    }

    // Output, kept on the source's lines

    void at(int line)
    {
        while (m_line < line) {
            m_out += u'\n';
            ++m_line;
        }
    }
    void put(const QString& code) { m_out += code; }

    QString temp()
    {
        const QString name = QStringLiteral("$t%1").arg(++m_temps);
        (m_proc ? m_procTemps : m_topTemps).push_back(name);
        return name;
    }

    // A variable may take a value here; an empty name stands for any variable.
    void assigned(const QString& variable)
    {
        for (const Counter& counter : m_counters) {
            if (variable.isEmpty() || counter.variable == variable) {
                m_again = m_again || (m_pass2 && !m_assignedCounters.contains(counter.at));
                m_assignedCounters.insert(counter.at);
            }
        }
    }

    // Names

    void declare(const QString& lower)
    {
        if (m_proc)
            m_proc->locals.insert(lower);
        else
            m_globals.insert(lower);
    }

    bool isVariable(const QString& lower) const
    {
        if (m_proc && m_proc->locals.contains(lower))
            return true;
        if (m_procs.contains(lower) || m_external.contains(lower))
            return false;
        return m_globals.contains(lower) || (m_proc && m_implicit.contains(lower));
    }

    bool isProcedure(const QString& lower) const
    {
        return !(m_proc && m_proc->locals.contains(lower)) && (m_procs.contains(lower) || m_external.contains(lower));
    }

    // A name the block uses without declaring it.
    QString implicitVariable(const Token& name)
    {
        if (m_optionExplicit && m_pass2)
            return QStringLiteral("$undef(%1)").arg(jsString(name.raw));
        if (m_proc && !m_globals.contains(name.text))
            m_implicit.insert(name.text);
        else if (!m_proc)
            m_globals.insert(name.text);
        return mangle(name.text);
    }

    QString variableTarget(const Token& name)
    {
        assigned(mangle(name.text));
        if (m_proc && name.text == m_proc->name.toLower() && m_proc->isFunction)
            return QStringLiteral("$r");
        if (m_proc)
            m_proc->written.insert(name.text);
        if (const ClassMember* member = ownMember(name.text)) {
            if (member->kind != ClassMember::Field)
                fail(QStringLiteral("Illegal assignment: '%1'").arg(name.raw));
            return ownMemberValue(*member, name.text, {});
        }
        if (isVariable(name.text))
            return mangle(name.text);
        if (isProcedure(name.text) || builtinConstants().contains(name.text))
            fail(QStringLiteral("Illegal assignment: '%1'").arg(name.raw));
        if (m_optionExplicit && m_pass2)
            return QStringLiteral("$undef(%1)").arg(jsString(name.raw));
        return implicitVariable(name);
    }

    Expr nameValue(const Token& name)
    {
        const QString& n = name.text;
        if (m_proc && n == m_proc->name.toLower() && m_proc->isFunction)
            return {QStringLiteral("$r"), QStringLiteral("$r")};
        if (m_class && m_proc && n == u"me")
            return {QStringLiteral("$me"), {}};
        if (const ClassMember* member = ownMember(n)) {
            const QString code = ownMemberValue(*member, n, {});
            return {code, member->kind == ClassMember::Field ? code : QString()};
        }
        if (isVariable(n))
            return {mangle(n), mangle(n)};
        if (isProcedure(n))
            return {callProcedure(name, {}), {}};
        if (n == u"err")
            return {QStringLiteral("$err"), {}};
        if (const auto found = builtinConstants().find(n); found != builtinConstants().end())
            return {found.value(), {}};
        if (builtinFunctions().contains(n))
            return {builtin(n) + QStringLiteral("()"), {}};
        const QString code = implicitVariable(name);
        return {code, code.startsWith(u'$') ? QString() : code};
    }

    Expr nameCall(const Token& name, const std::vector<Expr>& args)
    {
        const QString& n = name.text;
        if (m_proc && n == m_proc->name.toLower() && m_proc->isFunction && args.empty())
            return {QStringLiteral("$r"), {}};
        if (const ClassMember* member = ownMember(n))
            return {ownMemberValue(*member, n, args), {}};
        if (isVariable(n)) {
            Expr read{element(mangle(n), args), {}};
            read.array = mangle(n);
            read.indices = args;
            return read;
        }
        if (isProcedure(n))
            return {callProcedure(name, args), {}};
        if ((n == u"eval" || n == u"execute") && m_proc && !m_expression && args.size() == 1) {
            // In a procedure, Eval and Execute see its variables: the engine's own eval, called
            // here, sees this function's. Only such procedures pay for the names looked up by text.
            assigned({});
            return {QStringLiteral("eval($B.$inscope(%1,%2))").arg(args[0].code, n == u"eval" ? u"true" : u"false"),
                    {}};
        }
        if (n == u"formatnumber")
            if (QString code = formatNumberInPlace(args); !code.isEmpty())
                return {code, {}};
        if (builtinFunctions().contains(n))
            return {QStringLiteral("%1(%2)").arg(builtin(n), joined(args)), {}};
        if (n == u"err" && args.empty())
            return {QStringLiteral("$err"), {}};
        // Perhaps a procedure declared further down, which may assign what is passed to it.
        for (const Expr& a : args) {
            if (!a.variable.isEmpty())
                assigned(a.variable);
        }
        if (m_optionExplicit || !m_pass2)
            return {QStringLiteral("$undef(%1)").arg(jsString(name.raw)), {}};
        return {QStringLiteral("$nofunction(%1)").arg(jsString(name.raw)), {}};
    }

    // FormatNumber(x, n, True, False, False) of a text that has n decimals already is that text: the
    // report's usual call, answered without calling the runtime when the arguments say so as written.
    QString formatNumberInPlace(const std::vector<Expr>& args)
    {
        static const QRegularExpression digits(QStringLiteral("^(?:\\d|1[0-4])$"));
        static const QRegularExpression tristate(QStringLiteral("^(?:true|false|undefined)$"));
        if (args.size() != 5 || !digits.match(args[1].code).hasMatch() || !tristate.match(args[2].code).hasMatch() ||
            !tristate.match(args[3].code).hasMatch() || args[4].code != u"false")
            return {};
        const QString text = temp();
        return QStringLiteral("(typeof(%1=%2)===$STRING&&%1.search($fixedForms[%3])===0?%1:%4(%1,%5))")
            .arg(text, args[0].code, args[1].code, builtin(QStringLiteral("formatnumber")),
                 joined({args.begin() + 1, args.end()}));
    }

    // Built-in functions are bound once per block, as the runtime's own functions are.
    QString builtin(const QString& name)
    {
        if (m_expression)
            return QStringLiteral("$B.") + name;
        m_builtinsUsed.insert(name);
        return QStringLiteral("$B$") + name;
    }

    static QString joined(const std::vector<Expr>& args)
    {
        QStringList codes;
        for (const Expr& a : args)
            codes << a.code;
        return codes.join(u',');
    }

    static QString index(const QString& target, const std::vector<Expr>& args)
    {
        if (args.size() == 1)
            return QStringLiteral("$i1(%1,%2)").arg(target, args[0].code);
        return QStringLiteral("$idx(%1,[%2])").arg(target, joined(args));
    }

    // An element read: a node list's with a number is taken in place, as a loop over a list's
    // nodes does it on every turn; anything else by the runtime.
    QString element(const QString& target, const std::vector<Expr>& args)
    {
        if (args.size() != 1)
            return index(target, args);
        static const QRegularExpression wholeNumber(QStringLiteral("^\\d{1,9}$"));
        static const QRegularExpression variable(QStringLiteral("^(?:v\\$\\w+|\\$r)$"));
        const QString list = temp();
        const QString& code = args[0].code;
        if (wholeNumber.match(code).hasMatch() || m_plainCounters.contains(code))
            return QStringLiteral("((%1=%2),%3?%1.item(%4):$i1(%1,%4))")
                .arg(list, target, isDomObject(list, true), code);
        const bool plain = variable.match(code).hasMatch();
        const QString at = plain ? code : temp();
        return QStringLiteral("((%1=%2),%3%4&&typeof %5===$NUMBER?%1.item(%5):$i1(%1,%5))")
            .arg(list, target, plain ? QString() : QStringLiteral("(%1=%2),").arg(at, code), isDomObject(list, true),
                 at);
    }

    // A call of a procedure of the block. Variables passed to ByRef parameters that the procedure
    // assigns get the parameter's last value back.
    QString callProcedure(const Token& name, const std::vector<Expr>& args)
    {
        const auto found = m_procs.find(name.text);
        if (found == m_procs.end())
            return QStringLiteral("$procs[%1](%2)").arg(jsString(name.text), joined(args));
        const Procedure& proc = found.value();
        if (m_pass2 && qsizetype(args.size()) != proc.params.size())
            return QStringLiteral("$throw(450, %1)").arg(jsString(proc.name));
        QStringList before;
        QStringList copies;
        std::vector<Expr> passed = args;
        for (qsizetype i = 0; i < proc.params.size(); ++i) {
            if (!proc.byRef[std::size_t(i)] || !proc.written.contains(proc.params[i]))
                continue;
            Expr& arg = passed[std::size_t(i)];
            if (!arg.variable.isEmpty()) {
                copies << QStringLiteral("%1 = $refs[%2]").arg(arg.variable).arg(i);
                assigned(arg.variable);
                if (m_proc)
                    m_proc->written.insert(arg.variable.mid(2));
            } else if (!arg.array.isEmpty()) {
                // An array's element is passed as a variable is; its indices are worked out once.
                std::vector<Expr> indices;
                for (const Expr& index : arg.indices) {
                    indices.push_back({temp(), {}});
                    before << QStringLiteral("%1 = %2").arg(indices.back().code, index.code);
                }
                arg.code = index(arg.array, indices);
                copies << QStringLiteral("$putback(%1,[%2],$refs[%3])").arg(arg.array, joined(indices)).arg(i);
            }
        }
        const QString call = QStringLiteral("%1(%2)").arg(mangle(name.text), joined(passed));
        if (copies.isEmpty())
            return call;
        const QString t = temp();
        before << QStringLiteral("%1 = %2").arg(t, call);
        return QStringLiteral("(%1, %2, %3)").arg(before.join(u", "), copies.join(u", "), t);
    }

    // Expressions, loosest first

    struct Operator
    {
        const char* token;
        bool isWord;
        const char* function;
    };

    // Binary operators, loosest first. Not sits between And and the comparisons.
    static const std::vector<std::vector<Operator>>& levels()
    {
        static const std::vector<std::vector<Operator>> table{
            {{"imp", true, "$imp"}},
            {{"eqv", true, "$eqv"}},
            {{"xor", true, "$xor"}},
            {{"or", true, "$or"}},
            {{"and", true, "$and"}},
            {},
            {{"=", false, "$eq"},
             {"<>", false, "$ne"},
             {"<", false, "$lt"},
             {">", false, "$gt"},
             {"<=", false, "$le"},
             {">=", false, "$ge"},
             {"is", true, "$is"}},
            {{"&", false, "$cat"}},
            {{"+", false, "$add"}, {"-", false, "$sub"}},
            {{"mod", true, "$mod"}},
            {{"\\", false, "$idiv"}},
            {{"*", false, "$mul"}, {"/", false, "$div"}},
        };
        return table;
    }
    static constexpr int NotLevel = 5;
    static constexpr int ConcatenationLevel = 7;

    Expr parseExpr() { return binary(0); }

    Expr binary(int level)
    {
        if (level == NotLevel) {
            if (acceptWord("not"))
                return {QStringLiteral("$not(%1)").arg(binary(NotLevel).code), {}};
            return binary(level + 1);
        }
        if (level == int(levels().size()))
            return unary();
        Expr left = binary(level + 1);
        for (;;) {
            const auto& ops = levels()[std::size_t(level)];
            const auto op = std::find_if(ops.begin(), ops.end(),
                                         [&](const Operator& o) { return o.isWord ? isWord(o.token) : isOp(o.token); });
            if (op == ops.end())
                return left;
            ++m_p;
            const Expr right = binary(level + 1);
            left = combined(QLatin1String(op->function), left, right);
        }
    }

    // Texts joined and numbers compared in place when both operands are of that type: the
    // call to the runtime costs more than the work.
    Expr combined(QLatin1String function, const Expr& left, const Expr& right)
    {
        const QString generic = QStringLiteral("%1(%2,%3)").arg(function, left.code, right.code);
        static const QHash<QString, QString> comparisons{
            {QStringLiteral("$eq"), QStringLiteral("===")}, {QStringLiteral("$ne"), QStringLiteral("!==")},
            {QStringLiteral("$lt"), QStringLiteral("<")},   {QStringLiteral("$gt"), QStringLiteral(">")},
            {QStringLiteral("$le"), QStringLiteral("<=")},  {QStringLiteral("$ge"), QStringLiteral(">=")},
        };
        const auto comparison = comparisons.find(function);
        static const QRegularExpression smallWhole(QStringLiteral("^\\d{1,4}$"));
        if ((function == QLatin1String("$add") || function == QLatin1String("$sub")) &&
            smallWhole.match(right.code).hasMatch()) {
            // An Integer and a small whole number: the sum is an Integer or a Long by its value alone.
            const QString a = temp();
            Expr result{QStringLiteral("(typeof(%1=%2)===$NUMBER&&%1>=-32768&&%1<=32767&&(%1|0)===%1?%1%3%4:%5(%1,%4))")
                            .arg(a, left.code, function == QLatin1String("$add") ? u"+" : u"-", right.code, function),
                        {}};
            result.fresh = true;
            return result;
        }
        if (function != QLatin1String("$cat") && comparison == comparisons.end())
            return {generic, {}};
        const QString type = comparison == comparisons.end() ? QStringLiteral("$STRING") : QStringLiteral("$NUMBER");
        const QString op = comparison == comparisons.end() ? QStringLiteral("+") : comparison.value();
        // A literal of the type is used as it is; anything else is evaluated once, in its order.
        static const QRegularExpression stringLiteral(QStringLiteral(R"(^"(?:[^"\\]|\\.)*"$)"));
        static const QRegularExpression numberLiteral(QStringLiteral("^\\d{1,9}$"));
        const bool literal =
            (comparison == comparisons.end() ? stringLiteral : numberLiteral).match(right.code).hasMatch();
        if (comparison != comparisons.end() && m_plainCounters.contains(left.variable) &&
            (literal || m_plainCounters.contains(right.variable))) {
            // A loop's plain counter against a whole number.
            Expr result{QStringLiteral("(%1%2%3)").arg(left.code, comparison.value(), right.code), {}};
            result.fresh = true;
            result.condition = result.code;
            return result;
        }
        const QString a = temp();
        const QString b = literal ? right.code : temp();
        const auto inlined = [&](const QString& fallback) {
            if (literal)
                return QStringLiteral("(typeof(%1=%2)===%3?%1%4%5:%6(%1,%5))").arg(a, left.code, type, op, b, fallback);
            return QStringLiteral("((%1=%3),(%2=%4),typeof %1===%5&&typeof %2===%5?%1%6%2:%7(%1,%2))")
                .arg(a, b, left.code, right.code, type, op, fallback);
        };
        Expr result{inlined(function), {}};
        result.fresh = true;
        if (comparison != comparisons.end())
            result.condition = inlined(QStringLiteral("$c") + function.mid(1));
        return result;
    }

    // Negation binds looser than ^: -2 ^ 2 is -4.
    Expr unary()
    {
        if (acceptOp("-"))
            return {QStringLiteral("$neg(%1)").arg(unary().code), {}};
        if (acceptOp("+"))
            return {QStringLiteral("$pos(%1)").arg(unary().code), {}};
        return power();
    }

    Expr power()
    {
        Expr left = postfix();
        while (acceptOp("^")) {
            Expr right;
            if (acceptOp("-"))
                right = {QStringLiteral("$neg(%1)").arg(postfix().code), {}};
            else
                right = postfix();
            left = {QStringLiteral("$pow(%1,%2)").arg(left.code, right.code), {}};
        }
        return left;
    }

    std::vector<Expr> arguments()
    {
        std::vector<Expr> args;
        expectOp("(");
        if (acceptOp(")"))
            return args;
        for (;;) {
            if (isOp(",") || isOp(")"))
                args.push_back({QStringLiteral("undefined"), {}});
            else
                args.push_back(parseExpr());
            if (acceptOp(")"))
                return args;
            expectOp(",");
        }
    }

    QString memberName()
    {
        if (tok().kind != Tok::Ident)
            fail(QStringLiteral("Expected identifier"));
        return jsString(m_t[m_p++].text);
    }

    QString withObject()
    {
        if (m_with.empty())
            fail(QStringLiteral("Invalid or unqualified reference"));
        return m_with.back();
    }

    Expr primary()
    {
        const Token& t = tok();
        switch (t.kind) {
        case Tok::Number:
        case Tok::String:
        case Tok::Date:
            ++m_p;
            return {t.text, {}};
        case Tok::Op:
            if (acceptOp("(")) {
                Expr inner = parseExpr();
                expectOp(")");
                return {u'(' + inner.code + u')', {}};
            }
            if (isOp("."))
                return {withObject(), {}};
            fail(QStringLiteral("Expected expression"));
        case Tok::Ident:
            break;
        default:
            fail(QStringLiteral("Expected expression"));
        }
        static const QHash<QString, QString> literals{
            {QStringLiteral("true"), QStringLiteral("true")},       {QStringLiteral("false"), QStringLiteral("false")},
            {QStringLiteral("empty"), QStringLiteral("undefined")}, {QStringLiteral("null"), QStringLiteral("$NULL")},
            {QStringLiteral("nothing"), QStringLiteral("null")},
        };
        if (const auto found = literals.find(t.text); found != literals.end()) {
            ++m_p;
            return {found.value(), {}};
        }
        if (acceptWord("new")) {
            const Token cls = expectName();
            return {QStringLiteral("$new(%1)").arg(jsString(cls.raw)), {}};
        }
        if (isReserved(t.text))
            fail(QStringLiteral("Expected expression"));
        const Token name = m_t[m_p++];
        if (isOp("(")) {
            const std::vector<Expr> args = arguments();
            return nameCall(name, args);
        }
        return nameValue(name);
    }

    // Member access and calls after a value: a.b, a.b(1), a(1)(2).
    Expr postfix()
    {
        const bool withMember = isOp(".");
        Expr value = primary();
        if (withMember)
            return member(value);
        for (;;) {
            if (isOp("."))
                value = member(value);
            else if (isOp("("))
                value = {element(value.code, arguments()), {}};
            else
                return value;
        }
    }

    Expr member(Expr value)
    {
        while (acceptOp(".")) {
            const QString lower = tok().text;
            const QString name = memberName();
            const bool call = isOp("(");
            const std::vector<Expr> args = call ? arguments() : std::vector<Expr>{};
            // Members the document model and the runtime spell in a known way are read directly;
            // looking a name up in any case costs far more.
            const auto known = knownMembers().find(lower);
            if (m_pass2 && known != knownMembers().end() && known->second.isMethod == call) {
                const QString t = temp();
                const QString& spelling = known->second.spelling;
                const QString direct = call ? QStringLiteral("%1.%2(%3)").arg(t, spelling, joined(args))
                                            : QStringLiteral("%1.%2").arg(t, spelling);
                const QString generic = call ? QStringLiteral("$call(%1,%2,[%3])").arg(t, name, joined(args))
                                             : QStringLiteral("$get(%1,%2)").arg(t, name);
                value = {QStringLiteral("((%1=%2),%3?%4:%5)")
                             .arg(t, value.code, isDomObject(t, known->second.ofList), direct, generic),
                         {}};
            } else if (call) {
                value = {QStringLiteral("$call(%1,%2,[%3])").arg(value.code, name, joined(args)), {}};
            } else {
                value = {QStringLiteral("$get(%1,%2)").arg(value.code, name), {}};
            }
            while (isOp("("))
                value = {element(value.code, arguments()), {}};
        }
        return value;
    }

    // A condition's comparison answers true or false directly.
    QString condition()
    {
        const Expr expr = parseExpr();
        if (!expr.condition.isEmpty())
            return expr.condition;
        const QString code = expr.code;
        static const QRegularExpression comparison(QStringLiteral("^\\$(eq|ne|lt|gt|le|ge)\\((.*)\\)$"));
        const QRegularExpressionMatch m = comparison.match(code);
        if (m.hasMatch() && balanced(m.captured(2)))
            return QStringLiteral("$c%1(%2)").arg(m.captured(1), m.captured(2));
        return QStringLiteral("$b(%1)").arg(code);
    }

    // Whether the text is one argument list: $eq(a)+$eq(b) must not be read as $eq(a)+$eq(b).
    static bool balanced(const QString& inner)
    {
        int depth = 0;
        bool inString = false;
        for (qsizetype i = 0; i < inner.size(); ++i) {
            const QChar c = inner[i];
            if (inString) {
                if (c == u'\\')
                    ++i;
                else if (c == u'"')
                    inString = false;
            } else if (c == u'"') {
                inString = true;
            } else if (c == u'(' || c == u'[') {
                ++depth;
            } else if (c == u')' || c == u']') {
                if (--depth < 0)
                    return false;
            }
        }
        return depth == 0;
    }

    // Statements

    using Terminator = bool (Translator::*)() const;

    void block(Terminator done, const QString& expected = {})
    {
        for (;;) {
            skipSeparators();
            if (m_pendingNext > 0)
                return;
            if (tok().kind == Tok::End) {
                if (done)
                    fail(expected);
                return;
            }
            if (done && (this->*done)())
                return;
            // The end of an enclosing block, or of none: this one was not closed.
            if (done && (isWord("end") || isWord("next") || isWord("loop") || isWord("wend") || isWord("elseif") ||
                         isWord("else") || isWord("case")))
                fail(expected);
            statement();
        }
    }

    void statement()
    {
        const int line = tok().line;
        at(line);
        const bool guarded = m_resumeSeen && !isWord("function") && !isWord("sub") && !isWord("dim") &&
                             !isWord("const") && !isWord("private") && !isWord("public") && !isWord("option") &&
                             !isWord("on");
        if (guarded)
            put(QStringLiteral("try{"));
        statementBody();
        if (guarded)
            put(QStringLiteral("}catch($e){$onerror($e,$oe);}"));
    }

    void statementBody()
    {
        if (isWord("option")) {
            ++m_p;
            expectWord("explicit", "Explicit");
            m_optionExplicit = true;
            return endStatement();
        }
        if (isWord("public") || isWord("private")) {
            ++m_p;
            acceptWord("default");
            if (isWord("function") || isWord("sub"))
                return procedure();
            if (acceptWord("const"))
                return constant();
            return dim();
        }
        if (isWord("function") || isWord("sub"))
            return procedure();
        if (acceptWord("dim"))
            return dim();
        if (acceptWord("const"))
            return constant();
        if (acceptWord("redim"))
            return redim();
        if (acceptWord("erase")) {
            const Token name = expectName();
            put(QStringLiteral("%1 = $erase(%1);").arg(variableTarget(name)));
            return endStatement();
        }
        static const std::pair<const char*, void (Translator::*)()> compound[] = {
            {"if", &Translator::ifStatement},       {"select", &Translator::selectStatement},
            {"for", &Translator::forStatement},     {"do", &Translator::doStatement},
            {"while", &Translator::whileStatement}, {"with", &Translator::withStatement},
            {"exit", &Translator::exitStatement},   {"on", &Translator::onError},
        };
        for (const auto& [word, parse] : compound) {
            if (acceptWord(word))
                return (this->*parse)();
        }
        if (acceptWord("set")) {
            assignOrCall(true);
            return endStatement();
        }
        if (acceptWord("call")) {
            assignOrCall(false);
            return endStatement();
        }
        if (isWord("class"))
            return classStatement();
        if (isWord("stop")) {
            ++m_p;
            return endStatement();
        }
        if (tok().kind == Tok::Ident && isReserved(tok().text))
            fail(QStringLiteral("Expected statement"));
        assignOrCall(false);
        endStatement();
    }

    // A Function or Sub, or in a class also a Property procedure of the given kind.
    void procedure(const QString& propertyKind = {}, bool isPublic = true)
    {
        const bool isFunction = propertyKind.isEmpty() ? isWord("function") : propertyKind == u"get";
        const int headerLine = tok().line;
        ++m_p;
        if (!propertyKind.isEmpty())
            ++m_p;
        if (m_proc)
            fail(QStringLiteral("Expected 'End %1'")
                     .arg(m_endWord == u"property" ? u"Property"
                          : m_proc->isFunction     ? u"Function"
                                                   : u"Sub"));
        const Token name = expectName();
        const QString key = propertyKind.isEmpty() ? name.text : propertyKind + u' ' + name.text;
        Procedure& proc = m_class ? m_class->procs[key] : m_procs[name.text];
        if (!m_pass2) {
            const bool clash =
                m_class ? m_class->members.contains(name.text) &&
                              (propertyKind.isEmpty() || m_class->members[name.text].kind != ClassMember::Property)
                        : m_classes.contains(name.text);
            if (!proc.name.isEmpty() || clash)
                throw SyntaxError{headerLine, QStringLiteral("Name redefined: '%1'").arg(name.raw)};
            if (!m_class)
                m_procOrder << name.text;
            proc = Procedure{};
        }
        proc.name = name.raw;
        proc.isFunction = isFunction;
        QStringList params;
        std::vector<bool> byRef;
        QStringList copies;
        if (acceptOp("(")) {
            while (!isOp(")")) {
                bool ref = true;
                if (acceptWord("byval"))
                    ref = false;
                else
                    acceptWord("byref");
                const Token param = expectName();
                if (acceptOp("("))
                    expectOp(")");
                params << param.text;
                byRef.push_back(ref);
                if (!ref)
                    copies << QStringLiteral("%1 = $cp(%1);").arg(mangle(param.text));
                if (!acceptOp(","))
                    break;
            }
            expectOp(")");
        }
        endStatement();
        proc.params = params;
        proc.byRef = byRef;
        for (const QString& p : params)
            proc.locals.insert(p);

        QStringList mangled;
        for (const QString& p : params)
            mangled << mangle(p);
        const QString function = m_class ? memberFunction(propertyKind, name.text) : mangle(name.text);
        if (m_class)
            classMember(name.text, propertyKind, isPublic, !params.isEmpty(), function);
        put(QStringLiteral("function %1(%2){").arg(function, mangled.join(u',')));
        const qsizetype declarationsAt = m_out.size();

        m_proc = &proc;
        m_implicit.clear();
        m_procTemps.clear();
        const bool outerResume = m_resumeSeen;
        m_resumeSeen = false;
        const bool copiesBack = std::any_of(params.begin(), params.end(), [&](const QString& p) {
            const auto i = params.indexOf(p);
            return byRef[std::size_t(i)] && proc.written.contains(p);
        });
        put(copies.join(QString()));
        if (copiesBack)
            put(QStringLiteral("try{"));
        m_endWord = !propertyKind.isEmpty() ? QStringLiteral("property")
                    : isFunction            ? QStringLiteral("function")
                                            : QStringLiteral("sub");
        block(&Translator::atProcedureEnd, QStringLiteral("Expected 'End %1'")
                                               .arg(!propertyKind.isEmpty() ? u"Property"
                                                    : isFunction            ? u"Function"
                                                                            : u"Sub"));
        at(tok().line);
        m_p += 2;
        if (copiesBack)
            put(QStringLiteral("}finally{$refs=[%1];}").arg(mangled.join(u',')));
        put(isFunction ? QStringLiteral("return $r;}") : QStringLiteral("}"));

        QStringList locals{QStringLiteral("$oe = 0")};
        if (isFunction)
            locals << QStringLiteral("$r");
        if (m_class)
            locals << QStringLiteral("$me = this");
        QStringList names(proc.locals.begin(), proc.locals.end());
        for (const QString& n : m_implicit)
            names << n;
        names.sort();
        names.removeDuplicates();
        for (const QString& n : names) {
            if (!params.contains(n))
                locals << mangle(n);
        }
        locals << m_procTemps;
        m_out.insert(declarationsAt, QStringLiteral("var %1;").arg(locals.join(u',')));
        m_proc = nullptr;
        m_resumeSeen = outerResume;
        endStatement();
    }

    // Classes

    static QString classFunction(const QString& lowerName) { return u'k' + mangle(lowerName).mid(1); }

    static QString memberFunction(const QString& propertyKind, const QString& lowerName)
    {
        return QStringLiteral("p$%1%2").arg(propertyKind.isEmpty() ? QString() : propertyKind + u'$',
                                            mangle(lowerName).mid(2));
    }

    // Where an object keeps a member: private ones under a name no script can spell.
    static QString memberKey(const ClassMember& member, const QString& lowerName)
    {
        return member.isPublic ? lowerName : u'$' + lowerName;
    }

    void classMember(const QString& lowerName, const QString& propertyKind, bool isPublic, bool takesArguments,
                     const QString& function)
    {
        ClassMember& member = m_class->members[lowerName];
        const bool known = member.kind == ClassMember::Property && (member.hasGet || member.hasLet);
        if (propertyKind.isEmpty()) {
            member = ClassMember{ClassMember::Method, isPublic};
            m_class->bindings << QStringLiteral("P[%1]=%2;").arg(jsString(memberKey(member, lowerName)), function);
            return;
        }
        if (!known)
            member = ClassMember{ClassMember::Property, isPublic};
        if (propertyKind == u"get") {
            member.hasGet = true;
            member.getTakesArguments = takesArguments;
            m_class->bindings << (takesArguments
                                      ? QStringLiteral("P[%1]=%2;")
                                      : QStringLiteral("Object.defineProperty(P,%1,{get:%2,configurable:true});"))
                                     .arg(jsString(memberKey(member, lowerName)), function);
        } else {
            member.hasLet = true;
            // Let and Set alike: assignments reach them through the object's $let.
            m_class->bindings << QStringLiteral("P[%1]=%2;")
                                     .arg(jsString(QStringLiteral("$let$") + memberKey(member, lowerName)), function);
        }
    }

    // Class Name ... End Class: a constructor made by a function that runs on the first New.
    void classStatement()
    {
        const int line = tok().line;
        ++m_p;
        if (m_proc || m_class)
            fail(QStringLiteral("Expected statement"));
        const Token name = expectName();
        endStatement();
        ClassInfo& info = m_classes[name.text];
        if (!m_pass2) {
            if (!info.name.isEmpty() || m_procs.contains(name.text))
                throw SyntaxError{line, QStringLiteral("Name redefined: '%1'").arg(name.raw)};
            info = ClassInfo{};
        }
        info.name = name.raw;
        info.fields.clear();
        info.bindings.clear();
        m_class = &info;
        put(QStringLiteral("function %1(){").arg(classFunction(name.text)));
        for (;;) {
            skipSeparators();
            if (tok().kind == Tok::End)
                fail(QStringLiteral("Expected 'End Class'"));
            if (isWord("end") && peek().kind == Tok::Ident && peek().text == u"class")
                break;
            at(tok().line);
            bool isPublic = true;
            bool modified = false;
            bool isDefault = false;
            if (acceptWord("public")) {
                modified = true;
                isDefault = acceptWord("default");
            } else if (acceptWord("private")) {
                modified = true;
                isPublic = false;
            }
            if (isWord("function") || isWord("sub")) {
                const QString function = memberFunction({}, peek().text);
                procedure({}, isPublic);
                if (isDefault)
                    defaultMember(function);
            } else if (isWord("property")) {
                const QString kind = peek().text;
                if (kind != u"get" && kind != u"let" && kind != u"set")
                    fail(QStringLiteral("Expected Let or Set or Get in property declaration"));
                if (isDefault && kind != u"get")
                    fail(QStringLiteral("'Default' specification can only be on Property Get"));
                const QString function = memberFunction(kind, peek(2).text);
                procedure(kind, isPublic);
                if (isDefault)
                    defaultMember(function);
            } else if (acceptWord("dim") || modified) {
                classFields(isPublic);
            } else {
                fail(QStringLiteral("Expected 'End Class'"));
            }
        }
        at(tok().line);
        m_p += 2;
        QString construct = info.fields.join(QString());
        if (info.members.contains(QStringLiteral("class_initialize")))
            construct += memberFunction({}, QStringLiteral("class_initialize")) + QStringLiteral(".call(this);");
        put(QStringLiteral("var C=function(){%1},P=C.prototype=$classproto(%2);%3return C;}")
                .arg(construct, jsString(info.name), info.bindings.join(QString())));
        m_class = nullptr;
        endStatement();
    }

    // What obj and obj(…) mean for an object of the class.
    void defaultMember(const QString& function)
    {
        m_class->bindings << QStringLiteral("P.$default=function(){return %1.apply(this,arguments);};"
                                            "P.$value=function(){return %1.call(this);};")
                                 .arg(function);
    }

    // Public, Private and Dim in a class: each object's own variables.
    void classFields(bool isPublic)
    {
        do {
            const Token name = expectName();
            if (!m_pass2 && m_class->members.contains(name.text))
                fail(QStringLiteral("Name redefined: '%1'").arg(name.raw));
            const ClassMember member{ClassMember::Field, isPublic};
            m_class->members[name.text] = member;
            QString value = QStringLiteral("undefined");
            if (const auto bounds = arrayBounds())
                value = QStringLiteral("$dim([%1])").arg(joined(*bounds));
            m_class->fields << QStringLiteral("this[%1]=%2;").arg(jsString(memberKey(member, name.text)), value);
        } while (acceptOp(","));
        endStatement();
    }

    // The name of the Function or Property Get that is running: its result.
    bool isOwnResult(const QString& lower) const
    {
        return m_proc && m_proc->isFunction && lower == m_proc->name.toLower();
    }

    // A member of the class named alone in one of its procedures, where no local hides it.
    const ClassMember* ownMember(const QString& lower) const
    {
        if (!m_class || !m_proc || m_proc->locals.contains(lower) || m_implicit.contains(lower))
            return nullptr;
        const auto found = m_class->members.constFind(lower);
        return found == m_class->members.constEnd() ? nullptr : &found.value();
    }

    QString ownMemberValue(const ClassMember& member, const QString& lower, const std::vector<Expr>& args)
    {
        switch (member.kind) {
        case ClassMember::Field: {
            const QString field = QStringLiteral("$me[%1]").arg(jsString(memberKey(member, lower)));
            return args.empty() ? field : index(field, args);
        }
        case ClassMember::Method:
            return QStringLiteral("%1.call($me%2)")
                .arg(memberFunction({}, lower), args.empty() ? QString() : u',' + joined(args));
        case ClassMember::Property:
            if (!member.hasGet)
                return QStringLiteral("$throw(450, %1)").arg(jsString(lower));
            return QStringLiteral("%1.call($me%2)")
                .arg(memberFunction(QStringLiteral("get"), lower), args.empty() ? QString() : u',' + joined(args));
        }
        return {};
    }

    bool atProcedureEnd() const { return isWord("end") && peek().kind == Tok::Ident && peek().text == m_endWord; }

    // The bounds after a declared name, as in b(3) or c(): nothing when the name is no array.
    std::optional<std::vector<Expr>> arrayBounds()
    {
        if (!acceptOp("("))
            return std::nullopt;
        std::vector<Expr> bounds;
        while (!isOp(")")) {
            bounds.push_back(parseExpr());
            if (!acceptOp(","))
                break;
        }
        expectOp(")");
        return bounds;
    }

    // Dim a, b(3), c(): arrays are made where they are declared.
    void dim()
    {
        do {
            const Token name = expectName();
            declare(name.text);
            if (const auto bounds = arrayBounds()) {
                assigned(mangle(name.text));
                put(QStringLiteral("%1 = $dim([%2]);").arg(mangle(name.text), joined(*bounds)));
            }
        } while (acceptOp(","));
        endStatement();
    }

    void constant()
    {
        do {
            const Token name = expectName();
            declare(name.text);
            expectOp("=");
            assigned(mangle(name.text));
            put(QStringLiteral("%1 = %2;").arg(mangle(name.text), parseExpr().code));
        } while (acceptOp(","));
        endStatement();
    }

    void redim()
    {
        const bool preserve = acceptWord("preserve");
        do {
            const Token name = expectName();
            if (!isVariable(name.text))
                declare(name.text);
            const QString target = variableTarget(name);
            const std::vector<Expr> bounds = arguments();
            put(QStringLiteral("%1 = $redim(%1,%2,[%3]);").arg(target, preserve ? u"true" : u"false", joined(bounds)));
        } while (acceptOp(","));
        endStatement();
    }

    void ifStatement()
    {
        put(QStringLiteral("if(%1){").arg(condition()));
        expectWord("then", "Then");
        if (tok().kind != Tok::Newline && !isOp(":")) {
            // One line: If c Then a : b Else d
            ++m_singleLineIf;
            singleLineStatements();
            if (acceptWord("else")) {
                put(QStringLiteral("}else{"));
                singleLineStatements();
            }
            --m_singleLineIf;
            put(QStringLiteral("}"));
            if (isWord("end") && peekWord(1, "if"))
                m_p += 2;
            return endStatement();
        }
        block(&Translator::atIfPart, QStringLiteral("Expected 'End If'"));
        for (;;) {
            at(tok().line);
            if (acceptWord("elseif")) {
                put(QStringLiteral("}else if(%1){").arg(condition()));
                expectWord("then", "Then");
                block(&Translator::atIfPart, QStringLiteral("Expected 'End If'"));
            } else if (acceptWord("else")) {
                put(QStringLiteral("}else{"));
                block(&Translator::atIfEnd, QStringLiteral("Expected 'End If'"));
            } else {
                m_p += 2;
                put(QStringLiteral("}"));
                return endStatement();
            }
        }
    }

    bool atIfEnd() const { return isWord("end") && peekWord(1, "if"); }
    bool atIfPart() const { return atIfEnd() || isWord("elseif") || isWord("else"); }

    void singleLineStatements()
    {
        for (;;) {
            if (atStatementEnd() && !isOp(":"))
                return;
            if (acceptOp(":"))
                continue;
            statement();
        }
    }

    void selectStatement()
    {
        expectWord("case", "Case");
        const QString subject = temp();
        put(QStringLiteral("%1 = %2;").arg(subject, parseExpr().code));
        endStatement();
        skipSeparators();
        bool first = true;
        bool sawElse = false;
        while (!(isWord("end") && peekWord(1, "select"))) {
            at(tok().line);
            if (tok().kind == Tok::End)
                fail(QStringLiteral("Expected 'End Select'"));
            expectWord("case", "Case");
            if (sawElse)
                fail(QStringLiteral("Expected 'End Select'"));
            if (acceptWord("else")) {
                sawElse = true;
                put(first ? QStringLiteral("{") : QStringLiteral("}else{"));
            } else {
                QStringList tests;
                do {
                    if (acceptWord("is")) {
                        static const QHash<QString, QString> ops{{QStringLiteral("="), QStringLiteral("$eq")},
                                                                 {QStringLiteral("<>"), QStringLiteral("$ne")},
                                                                 {QStringLiteral("<"), QStringLiteral("$lt")},
                                                                 {QStringLiteral(">"), QStringLiteral("$gt")},
                                                                 {QStringLiteral("<="), QStringLiteral("$le")},
                                                                 {QStringLiteral(">="), QStringLiteral("$ge")}};
                        if (tok().kind != Tok::Op || !ops.contains(tok().text))
                            fail(QStringLiteral("Expected comparison operator"));
                        const QString op = ops.value(m_t[m_p++].text);
                        tests << QStringLiteral("$b(%1(%2,%3))").arg(op, subject, binary(ConcatenationLevel).code);
                        continue;
                    }
                    const Expr low = parseExpr();
                    if (acceptWord("to"))
                        tests << QStringLiteral("($b($ge(%1,%2))&&$b($le(%1,%3)))")
                                     .arg(subject, low.code, parseExpr().code);
                    else
                        tests << QStringLiteral("$b($eq(%1,%2))").arg(subject, low.code);
                } while (acceptOp(","));
                put(QStringLiteral("%1if(%2){")
                        .arg(first ? QString() : QStringLiteral("}else "))
                        .arg(tests.join(u"||")));
            }
            first = false;
            block(&Translator::atCaseEnd, QStringLiteral("Expected 'End Select'"));
        }
        m_p += 2;
        if (!first)
            put(QStringLiteral("}"));
        endStatement();
    }

    bool atCaseEnd() const { return isWord("case") || (isWord("end") && peekWord(1, "select")); }

    QString loopLabel(char kind)
    {
        const QString label = QStringLiteral("$l%1").arg(++m_labels);
        m_loops.push_back({kind, label});
        return label;
    }

    void forStatement()
    {
        if (acceptWord("each")) {
            const Token name = expectName();
            const QString target = variableTarget(name);
            expectWord("in", "In");
            const QString items = temp();
            const QString i = temp();
            const QString label = loopLabel('f');
            put(QStringLiteral("%1:for(%2=$each(%3),%4=0;%4<%2.length;++%4){%5=%2[%4];")
                    .arg(label, items, parseExpr().code, i, target));
        } else {
            const std::size_t at = m_p;
            const Token name = expectName();
            const QString target = variableTarget(name);
            const bool watched =
                m_proc && m_proc->locals.contains(name.text) && !ownMember(name.text) && target == mangle(name.text);
            if (watched)
                m_counters.push_back({target, at});
            expectOp("=");
            const QString start = parseExpr().code;
            expectWord("to", "To");
            const QString end = temp();
            const QString step = temp();
            const QString endCode = parseExpr().code;
            const QString stepCode = acceptWord("step") ? parseExpr().code : QStringLiteral("1");
            const QString label = loopLabel('f');
            static const QRegularExpression wholeLiteral(QStringLiteral("^\\(?-?\\d+\\)?$"));
            if (wholeLiteral.match(start).hasMatch() && wholeLiteral.match(stepCode).hasMatch() &&
                !target.startsWith(u'$')) {
                // Whole numbers count on as plain numbers: their value alone tells Integer from Long.
                const QString cmp = stepCode.contains(u'-') ? QStringLiteral(">=") : QStringLiteral("<=");
                if (m_pass2 && watched && !m_assignedCounters.contains(at)) {
                    // Nothing else assigns the counter: it stays a plain number, and so is the end.
                    m_plainCounters.insert(target);
                    put(QStringLiteral("%1:for(%2=%3,%4=$forto(%5);%2%6%4;%2=%2+%7){")
                            .arg(label, target, start, end, endCode, cmp, stepCode));
                } else {
                    put(QStringLiteral("%1:for(%2=%3,%4=$fornum(%5);typeof %2===$NUMBER&&typeof %4===$NUMBER?%2%6%4:"
                                       "$forgo(%2,%4,%7);%2=typeof %2===$NUMBER?%2+%7:$add(%2,%7)){")
                            .arg(label, target, start, end, endCode, cmp, stepCode));
                }
            } else {
                put(QStringLiteral(
                        "%1:for(%2=$fornum(%3),%4=$fornum(%5),%6=$fornum(%7);$forgo(%2,%4,%6);%2=$add(%2,%6)){")
                        .arg(label, target, start, end, endCode, step, stepCode));
            }
            endStatement();
            block(&Translator::atNext, QStringLiteral("Expected 'Next'"));
            if (watched) {
                m_counters.pop_back();
                m_plainCounters.remove(target);
            }
            closeFor();
            return;
        }
        endStatement();
        block(&Translator::atNext, QStringLiteral("Expected 'Next'"));
        closeFor();
    }

    // Next, which may close more loops than this one: Next i, j.
    void closeFor()
    {
        m_loops.pop_back();
        put(QStringLiteral("}"));
        if (m_pendingNext > 0) {
            --m_pendingNext;
            return;
        }
        at(tok().line);
        ++m_p;
        if (tok().kind == Tok::Ident) {
            expectName();
            while (acceptOp(",")) {
                expectName();
                ++m_pendingNext;
            }
        }
        endStatement();
    }

    bool atNext() const { return isWord("next"); }

    void doStatement()
    {
        const QString label = loopLabel('d');
        if (isWord("while") || isWord("until")) {
            const bool until = isWord("until");
            ++m_p;
            const QString c = condition();
            put(QStringLiteral("%1:while(%2%3){").arg(label, until ? u"!" : u"", c));
            endStatement();
            block(&Translator::atLoop, QStringLiteral("Expected 'Loop'"));
            at(tok().line);
            ++m_p;
            put(QStringLiteral("}"));
        } else {
            endStatement();
            put(QStringLiteral("%1:do{").arg(label));
            block(&Translator::atLoop, QStringLiteral("Expected 'Loop'"));
            at(tok().line);
            ++m_p;
            if (isWord("while") || isWord("until")) {
                const bool until = isWord("until");
                ++m_p;
                put(QStringLiteral("}while(%1%2);").arg(until ? u"!" : u"", condition()));
            } else {
                put(QStringLiteral("}while(true);"));
            }
        }
        m_loops.pop_back();
        endStatement();
    }

    bool atLoop() const { return isWord("loop"); }

    void whileStatement()
    {
        const QString label = loopLabel('w');
        put(QStringLiteral("%1:while(%2){").arg(label, condition()));
        endStatement();
        block(&Translator::atWend, QStringLiteral("Expected 'Wend'"));
        at(tok().line);
        ++m_p;
        m_loops.pop_back();
        put(QStringLiteral("}"));
        endStatement();
    }

    bool atWend() const { return isWord("wend"); }

    void withStatement()
    {
        const QString object = temp();
        put(QStringLiteral("%1=%2;").arg(object, parseExpr().code));
        endStatement();
        m_with.push_back(object);
        block(&Translator::atWithEnd, QStringLiteral("Expected 'End With'"));
        m_with.pop_back();
        at(tok().line);
        m_p += 2;
        endStatement();
    }

    bool atWithEnd() const { return isWord("end") && peekWord(1, "with"); }

    void exitStatement()
    {
        const auto breakOut = [&](char kind, const char* word) {
            for (auto it = m_loops.rbegin(); it != m_loops.rend(); ++it) {
                if (it->kind == kind)
                    return put(QStringLiteral("break %1;").arg(it->label));
            }
            fail(QStringLiteral("Invalid 'Exit %1' statement").arg(QLatin1String(word)));
        };
        if (acceptWord("for")) {
            breakOut('f', "For");
        } else if (acceptWord("do")) {
            breakOut('d', "Do");
        } else if (isWord("function") || isWord("sub")) {
            const bool function = isWord("function");
            ++m_p;
            if (!m_proc || m_proc->isFunction != function)
                fail(QStringLiteral("Invalid 'Exit' statement"));
            put(function ? QStringLiteral("return $r;") : QStringLiteral("return;"));
        } else {
            fail(QStringLiteral("Expected 'Do', 'For', 'Sub' or 'Function'"));
        }
        endStatement();
    }

    void onError()
    {
        expectWord("error", "Error");
        if (acceptWord("resume")) {
            expectWord("next", "Next");
            m_resumeSeen = true;
            put(QStringLiteral("$oe=1;$err.clear();"));
        } else {
            expectWord("goto", "GoTo");
            if (tok().kind != Tok::Number || tok().text != u"0")
                fail(QStringLiteral("Only 'On Error GoTo 0' is supported"));
            ++m_p;
            put(QStringLiteral("$oe=0;$err.clear();"));
        }
        endStatement();
    }

    // Everything that starts with a name: a = 1, a(1) = 2, o.p = 3, Sub1 a, b, o.Method(1), …
    void assignOrCall(bool isSet)
    {
        const bool withMember = isOp(".");
        QString object; // what a member is read from, while the chain ends in a member
        QString memberKey;
        std::optional<Token> name;
        std::optional<std::vector<Expr>> args;
        QString value; // the chain up to its last part

        const auto flush = [&]() -> QString {
            // The chain's value so far, when more follows.
            if (!memberKey.isEmpty()) {
                const QString v = args ? QStringLiteral("$call(%1,%2,[%3])").arg(object, memberKey, joined(*args))
                                       : QStringLiteral("$get(%1,%2)").arg(object, memberKey);
                memberKey.clear();
                args.reset();
                return v;
            }
            if (name) {
                const Expr v = args ? nameCall(*name, *args) : nameValue(*name);
                name.reset();
                args.reset();
                return v.code;
            }
            if (args) {
                const QString v = index(value, *args);
                args.reset();
                return v;
            }
            return value;
        };

        if (withMember) {
            value = withObject();
        } else {
            name = expectName();
        }
        for (;;) {
            if (isOp(".")) {
                value = flush();
                ++m_p;
                object = value;
                memberKey = memberName();
            } else if (isOp("(") && !args) {
                args = arguments();
            } else if (isOp("(")) {
                value = flush();
                args = arguments();
            } else {
                break;
            }
        }

        if (acceptOp("=")) {
            const Expr rhs = parseExpr();
            // Arrays are values: assigning one copies it. Only what names a stored value can hold
            // one that something else holds too; operators and built-in functions make new ones.
            static const QStringList storedValues{QStringLiteral("$i1("), QStringLiteral("$idx("),
                                                  QStringLiteral("$get("), QStringLiteral("$call("),
                                                  QStringLiteral("(")};
            const bool stored = !rhs.variable.isEmpty() ||
                                (!rhs.fresh && std::any_of(storedValues.begin(), storedValues.end(),
                                                           [&](const QString& p) { return rhs.code.startsWith(p); }));
            // A variable is read twice to spare the call when it holds no array, as it mostly does not.
            const QString copy = rhs.code == rhs.variable ? QStringLiteral("(typeof %1!==$OBJECT?%1:$cp(%1))")
                                                          : QStringLiteral("$cp(%1)");
            const QString right = !isSet && stored ? copy.arg(rhs.code) : rhs.code;
            if (!memberKey.isEmpty()) {
                put(args ? QStringLiteral("$setcall(%1,%2,[%3],%4);").arg(object, memberKey, joined(*args), right)
                         : QStringLiteral("$set(%1,%2,%3);").arg(object, memberKey, right));
            } else if (const ClassMember* member = name && !isOwnResult(name->text) ? ownMember(name->text) : nullptr;
                       member && member->kind == ClassMember::Property) {
                QStringList values;
                for (const Expr& a : args ? *args : std::vector<Expr>{})
                    values << a.code;
                values << right;
                put(QStringLiteral("%1.call($me,%2);")
                        .arg(memberFunction(isSet && m_class->procs.contains(QStringLiteral("set ") + name->text)
                                                ? QStringLiteral("set")
                                                : QStringLiteral("let"),
                                            name->text),
                             values.join(u',')));
            } else if (name && !args) {
                put(QStringLiteral("%1=%2;").arg(variableTarget(*name), right));
            } else if (name) {
                if (m_proc)
                    m_proc->written.insert(name->text);
                put(QStringLiteral("$setidx(%1,[%2],%3);").arg(nameValue(*name).code, joined(*args), right));
            } else if (args) {
                put(QStringLiteral("$setidx(%1,[%2],%3);").arg(value, joined(*args), right));
            } else {
                fail(QStringLiteral("Expected statement"));
            }
            return;
        }
        if (isSet)
            fail(QStringLiteral("Expected '='"));

        // A call: arguments without parentheses follow the name.
        std::vector<Expr> plain;
        if (!atStatementEnd()) {
            if (args)
                fail(QStringLiteral("Expected end of statement"));
            for (;;) {
                if (isOp(","))
                    plain.push_back({QStringLiteral("undefined"), {}});
                else
                    plain.push_back(parseExpr());
                if (!acceptOp(","))
                    break;
            }
            args = plain;
        }
        if (!memberKey.isEmpty()) {
            put(QStringLiteral("$call(%1,%2,[%3]);").arg(object, memberKey, args ? joined(*args) : QString()));
        } else if (name) {
            for (const Expr& a : args ? *args : std::vector<Expr>{}) {
                if (!a.variable.isEmpty()) {
                    assigned(a.variable);
                    if (m_proc)
                        m_proc->written.insert(a.variable.mid(2));
                }
            }
            put(nameCall(*name, args ? *args : std::vector<Expr>{}).code + u';');
        } else {
            put(flush() + u';');
        }
    }

    void run(bool pass2)
    {
        m_pass2 = pass2;
        m_p = 0;
        m_out.clear();
        m_line = 1;
        m_temps = 0;
        m_labels = 0;
        m_topTemps.clear();
        m_optionExplicit = false;
        m_resumeSeen = false;
        m_pendingNext = 0;
        block(nullptr);
        if (m_pendingNext > 0)
            fail(QStringLiteral("Unexpected 'Next'"));
    }

    std::vector<Token> m_t;
    std::size_t m_p = 0;
    bool m_pass2 = false;
    QString m_out;
    int m_line = 1;

    QHash<QString, Procedure> m_procs;
    QStringList m_procOrder;
    QSet<QString> m_external;
    QSet<QString> m_globals;
    QSet<QString> m_implicit;
    QSet<QString> m_builtinsUsed;
    bool m_expression = false; // Eval's code runs outside any block's closure
    Procedure* m_proc = nullptr;
    QHash<QString, ClassInfo> m_classes;
    ClassInfo* m_class = nullptr;
    QStringList m_procTemps;
    QStringList m_topTemps;
    int m_temps = 0;
    int m_labels = 0;
    struct Loop
    {
        char kind;
        QString label;
    };
    std::vector<Loop> m_loops;
    std::vector<QString> m_with;
    bool m_optionExplicit = false;
    bool m_resumeSeen = false;
    int m_singleLineIf = 0;
    int m_pendingNext = 0;
    QString m_endWord;
    // For loops over a plain counter: a variable of the procedure that nothing in the loop assigns
    // but the loop's own step. The first pass finds, by the token of their For, the loops whose
    // counter something else may assign; the second counts the others on in plain numbers.
    struct Counter
    {
        QString variable;
        std::size_t at;
    };
    std::vector<Counter> m_counters; // the loops being read, innermost last
    QSet<std::size_t> m_assignedCounters;
    QSet<QString> m_plainCounters; // of the loops around the code being read, when counted in plain numbers
    bool m_again = false;          // the second pass found an assignment the first missed
};

// VBScript's numbers of its syntax errors, by the start of their text; what has no number of
// its own is a plain syntax error.
int syntaxErrorNumber(const QString& message)
{
    static const std::pair<const char*, int> numbers[]{
        {"Expected '('", 1005},
        {"Expected ')'", 1006},
        {"Expected ']'", 1007},
        {"Expected identifier", 1010},
        {"Expected '='", 1011},
        {"Expected 'If'", 1012},
        {"Expected 'To'", 1013},
        {"Expected 'End", 1014},
        {"Expected 'Function'", 1015},
        {"Expected 'Sub'", 1016},
        {"Expected 'Then'", 1017},
        {"Expected 'Wend'", 1018},
        {"Expected 'Loop'", 1019},
        {"Expected 'Next'", 1020},
        {"Expected 'Case'", 1021},
        {"Expected 'Select'", 1022},
        {"Expected expression", 1023},
        {"Expected statement", 1024},
        {"Expected end of statement", 1025},
        {"Expected integer constant", 1026},
        {"Expected 'While' or 'Until'", 1027},
        {"Expected 'With'", 1029},
        {"Invalid number", 1031},
        {"Invalid character", 1032},
        {"Unterminated string constant", 1033},
        {"Invalid 'Exit", 1039},
        {"Name redefined", 1041},
        {"Expected 'In'", 1046},
        {"Expected 'Class'", 1047},
        {"Unexpected 'Next'", 1055},
        {"Expected Let or Set or Get", 1049},
        {"'Default' specification can only be on Property Get", 1058},
    };
    for (const auto& [start, number] : numbers) {
        if (message.startsWith(QLatin1String(start)))
            return number;
    }
    return 1002;
}

} // namespace

VbTranslation translateVbScript(const QString& source, VbSource kind, const QStringList& knownProcedures)
{
    try {
        Translator translator(Lexer(source).run(), knownProcedures);
        return kind == VbSource::Expression ? translator.expression()
                                            : translator.program(kind == VbSource::Statements);
    } catch (const SyntaxError& error) {
        VbTranslation failed;
        failed.error = error.message;
        failed.errorLine = error.line;
        failed.errorNumber = syntaxErrorNumber(error.message);
        return failed;
    }
}
