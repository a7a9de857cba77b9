#pragma once

#include "session/ConvertFormState.h"

/**
 * The main window's state where no window can be shown: a command-line run without a display.
 * The controls are plain values.
 */
class WindowlessConvertForm final : public ConvertFormState
{
public:
    explicit WindowlessConvertForm(RunMode mode = RunMode::CommandLine)
        : ConvertFormState(mode)
    {}

    QString sourcePath() const override { return m_source; }
    QString selectedFormat() const override { return m_formats.value(m_selected); }
    bool viewFile() const override { return m_view; }

    void setSourcePath(const QString& path) override { m_source = path; }
    void setViewFile(bool view) override { m_view = view; }
    void showFormats(const QStringList& entries, int selected) override
    {
        m_formats = entries;
        m_selected = selected;
    }

    QStringList formats() const { return m_formats; }
    int selectedIndex() const { return m_selected; }

private:
    QString m_source;
    bool m_view = false;
    QStringList m_formats;
    int m_selected = -1;
};
