#include "scripts/JScriptSource.h"

#include <QStringView>

#include <vector>

namespace {

// The engine's compiler and pattern parser recurse once per level.
constexpr int MaxNesting = 1000;

enum class Kind
{
    Space,
    Comment,
    String,
    Template,
    Regex,
    Number,
    Name,
    Punct
};

struct Token
{
    Kind kind;
    qsizetype begin;
    qsizetype end;
};

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'$' || c == u'_' || c == u'\\';
}

bool isNamePart(QChar c)
{
    return isNameStart(c) || c.isDigit() || c.category() == QChar::Mark_NonSpacing ||
           c.category() == QChar::Mark_SpacingCombining || c.category() == QChar::Punctuation_Connector;
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == u'\u2028' || c == u'\u2029';
}

class Lexer
{
public:
    explicit Lexer(const QString& source)
        : m_text(source)
    {}

    // The tokens, or an error and its line.
    bool run(std::vector<Token>& tokens, QString& error, int& line)
    {
        int depth = 0;
        while (m_at < m_text.size()) {
            const Token token = next(tokens);
            if (token.kind == Kind::Punct) {
                const QChar c = m_text[token.begin];
                if (c == u'(' || c == u'[' || c == u'{')
                    ++depth;
                else if (c == u')' || c == u']' || c == u'}')
                    --depth;
            }
            if (depth > MaxNesting || (token.kind == Kind::Regex && patternNesting(token) > MaxNesting)) {
                error = QStringLiteral("The script nests brackets or groups more than %1 deep").arg(MaxNesting);
                line = lineAt(token.begin);
                return false;
            }
            tokens.push_back(token);
        }
        return true;
    }

private:
    QChar at(qsizetype i) const { return i < m_text.size() ? m_text[i] : QChar(); }

    int lineAt(qsizetype offset) const { return 1 + int(QStringView(m_text).left(offset).count(u'\n')); }

    // Whether a slash here starts a pattern rather than a division.
    bool patternMayStart(const std::vector<Token>& tokens) const
    {
        for (auto it = tokens.rbegin(); it != tokens.rend(); ++it) {
            if (it->kind == Kind::Space || it->kind == Kind::Comment)
                continue;
            const QStringView text = QStringView(m_text).mid(it->begin, it->end - it->begin);
            if (it->kind == Kind::Name) {
                static const QStringView keywords[] = {u"return", u"typeof", u"instanceof", u"in",    u"of",
                                                       u"new",    u"delete", u"void",       u"throw", u"case",
                                                       u"do",     u"else",   u"yield"};
                for (const QStringView keyword : keywords) {
                    if (text == keyword)
                        return true;
                }
                return false;
            }
            if (it->kind == Kind::Punct)
                return text != u")" && text != u"]";
            return false;
        }
        return true;
    }

    int patternNesting(const Token& token) const
    {
        int depth = 0;
        int deepest = 0;
        bool inClass = false;
        for (qsizetype i = token.begin + 1; i < token.end; ++i) {
            const QChar c = m_text[i];
            if (c == u'\\')
                ++i;
            else if (inClass)
                inClass = c != u']';
            else if (c == u'[')
                inClass = true;
            else if (c == u'(')
                deepest = std::max(deepest, ++depth);
            else if (c == u')')
                --depth;
        }
        return deepest;
    }

    void skipQuoted(QChar quote)
    {
        for (++m_at; m_at < m_text.size(); ++m_at) {
            const QChar c = m_text[m_at];
            if (c == u'\\') {
                ++m_at;
            } else if (c == quote) {
                ++m_at;
                return;
            } else if (quote != u'`' && isLineBreak(c)) {
                return; // unterminated: the engine reports it
            }
        }
    }

    void skipPattern()
    {
        bool inClass = false;
        for (++m_at; m_at < m_text.size() && !isLineBreak(m_text[m_at]); ++m_at) {
            const QChar c = m_text[m_at];
            if (c == u'\\') {
                ++m_at;
            } else if (inClass) {
                inClass = c != u']';
            } else if (c == u'[') {
                inClass = true;
            } else if (c == u'/') {
                ++m_at;
                while (m_at < m_text.size() && isNamePart(m_text[m_at]))
                    ++m_at;
                return;
            }
        }
    }

    Token next(const std::vector<Token>& tokens)
    {
        const qsizetype begin = m_at;
        const QChar c = m_text[m_at];
        Kind kind = Kind::Punct;
        if (c.isSpace() || isLineBreak(c)) {
            kind = Kind::Space;
            while (m_at < m_text.size() && (m_text[m_at].isSpace() || isLineBreak(m_text[m_at])))
                ++m_at;
        } else if (c == u'/' && at(m_at + 1) == u'/') {
            kind = Kind::Comment;
            while (m_at < m_text.size() && !isLineBreak(m_text[m_at]))
                ++m_at;
        } else if (c == u'/' && at(m_at + 1) == u'*') {
            kind = Kind::Comment;
            const qsizetype end = m_text.indexOf(QStringLiteral("*/"), m_at + 2);
            m_at = end < 0 ? m_text.size() : end + 2;
        } else if (c == u'\'' || c == u'"' || c == u'`') {
            kind = c == u'`' ? Kind::Template : Kind::String;
            skipQuoted(c);
        } else if (c == u'/' && patternMayStart(tokens)) {
            kind = Kind::Regex;
            skipPattern();
        } else if (c.isDigit() || (c == u'.' && at(m_at + 1).isDigit())) {
            kind = Kind::Number;
            for (++m_at; m_at < m_text.size(); ++m_at) {
                const QChar d = m_text[m_at];
                const QChar before = m_text[m_at - 1];
                if (!(isNamePart(d) || d == u'.' || ((d == u'+' || d == u'-') && (before == u'e' || before == u'E'))))
                    break;
            }
        } else if (isNameStart(c)) {
            kind = Kind::Name;
            while (m_at < m_text.size() && isNamePart(m_text[m_at]))
                ++m_at;
        } else {
            ++m_at;
        }
        return {kind, begin, m_at};
    }

    const QString& m_text;
    qsizetype m_at = 0;
};

class Rewriter
{
public:
    Rewriter(const QString& text, const std::vector<Token>& tokens)
        : m_text(text)
        , m_tokens(tokens)
    {}

    QString rewrite(std::size_t begin, std::size_t end) const
    {
        QString out;
        for (std::size_t i = begin; i < end; ++i) {
            if (isTypeof(i)) {
                const std::size_t operandBegin = skipBlank(i + 1, end);
                const std::size_t operandEnd = operandEndFrom(operandBegin, end);
                if (operandEnd > operandBegin) {
                    out += blankBetween(i + 1, operandBegin);
                    out += operandEnd == operandBegin + 1 && isPlainName(operandBegin)
                               ? QStringLiteral("__tabulonTypeof(typeof %1 === 'undefined' ? undefined : %1)")
                                     .arg(text(operandBegin))
                               : QStringLiteral("__tabulonTypeof(%1)").arg(rewrite(operandBegin, operandEnd));
                    i = operandEnd - 1;
                    continue;
                }
            }
            out += text(i);
            if (isPunct(i, u'{') && opensHandler(i))
                out += QStringLiteral("__tabulonHandler();");
        }
        return out;
    }

private:
    QStringView text(std::size_t i) const
    {
        return QStringView(m_text).mid(m_tokens[i].begin, m_tokens[i].end - m_tokens[i].begin);
    }

    bool isBlank(std::size_t i) const { return m_tokens[i].kind == Kind::Space || m_tokens[i].kind == Kind::Comment; }
    bool isPunct(std::size_t i, char16_t c) const { return m_tokens[i].kind == Kind::Punct && text(i) == QChar(c); }

    std::size_t skipBlank(std::size_t i, std::size_t end) const
    {
        while (i < end && isBlank(i))
            ++i;
        return i;
    }

    // Blanks keep their line breaks; comments between `typeof` and its operand become a space.
    QString blankBetween(std::size_t begin, std::size_t end) const
    {
        QString out;
        for (std::size_t i = begin; i < end; ++i) {
            const QStringView blank = text(i);
            out += QString(blank.count(u'\n'), u'\n');
            out += u' ';
        }
        return out;
    }

    std::size_t previousSignificant(std::size_t i) const
    {
        while (i > 0) {
            --i;
            if (!isBlank(i))
                return i;
        }
        return m_tokens.size();
    }

    bool isTypeof(std::size_t i) const
    {
        if (m_tokens[i].kind != Kind::Name || text(i) != u"typeof")
            return false;
        const std::size_t before = previousSignificant(i);
        return before == m_tokens.size() || !isPunct(before, u'.');
    }

    // Whether the brace at i opens a `catch (e)` or `finally` block.
    bool opensHandler(std::size_t i) const
    {
        std::size_t before = previousSignificant(i);
        if (before == m_tokens.size())
            return false;
        if (m_tokens[before].kind == Kind::Name)
            return text(before) == u"finally" || text(before) == u"catch";
        if (!isPunct(before, u')'))
            return false;
        // Back to the parenthesis that opens the clause, then the word before it.
        int depth = 0;
        for (std::size_t j = before + 1; j-- > 0;) {
            if (isPunct(j, u')'))
                ++depth;
            else if (isPunct(j, u'(') && --depth == 0) {
                const std::size_t word = previousSignificant(j);
                return word != m_tokens.size() && m_tokens[word].kind == Kind::Name && text(word) == u"catch";
            }
        }
        return false;
    }

    bool isPlainName(std::size_t i) const
    {
        static const QStringView reserved[] = {u"this",   u"null", u"true",   u"false", u"function",  u"new",
                                               u"typeof", u"void", u"delete", u"in",    u"instanceof"};
        if (m_tokens[i].kind != Kind::Name)
            return false;
        for (const QStringView word : reserved) {
            if (text(i) == word)
                return false;
        }
        return true;
    }

    // The token after the bracket that closes the one at i.
    std::size_t pastClosing(std::size_t i, std::size_t end) const
    {
        int depth = 0;
        for (; i < end; ++i) {
            if (m_tokens[i].kind != Kind::Punct)
                continue;
            const QChar c = text(i).front();
            if (c == u'(' || c == u'[' || c == u'{')
                ++depth;
            else if ((c == u')' || c == u']' || c == u'}') && --depth == 0)
                return i + 1;
        }
        return end;
    }

    // Where the operand of `typeof` ends: a primary expression and its member accesses and calls.
    // Operators that make other operands (`typeof !x`, `typeof function`) are left as written,
    // and the operand then is empty.
    std::size_t operandEndFrom(std::size_t i, std::size_t end) const
    {
        if (i >= end)
            return i;
        std::size_t after = i;
        switch (m_tokens[i].kind) {
        case Kind::Name:
            if (!isPlainName(i) && text(i) != u"this")
                return i;
            after = i + 1;
            break;
        case Kind::Number:
        case Kind::String:
        case Kind::Template:
        case Kind::Regex:
            after = i + 1;
            break;
        case Kind::Punct:
            if (!isPunct(i, u'(') && !isPunct(i, u'['))
                return i;
            after = pastClosing(i, end);
            break;
        default:
            return i;
        }
        for (;;) {
            const std::size_t next = skipBlank(after, end);
            if (next >= end)
                return after;
            if (isPunct(next, u'.')) {
                const std::size_t name = skipBlank(next + 1, end);
                if (name >= end || m_tokens[name].kind != Kind::Name)
                    return after;
                after = name + 1;
            } else if (isPunct(next, u'[') || isPunct(next, u'(')) {
                after = pastClosing(next, end);
            } else {
                return after;
            }
        }
    }

    const QString& m_text;
    const std::vector<Token>& m_tokens;
};

} // namespace

JScriptSource prepareJScript(const QString& source)
{
    JScriptSource prepared;
    std::vector<Token> tokens;
    if (!Lexer(source).run(tokens, prepared.error, prepared.errorLine))
        return prepared;
    prepared.code = Rewriter(source, tokens).rewrite(0, tokens.size());
    return prepared;
}
