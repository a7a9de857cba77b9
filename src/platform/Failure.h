#pragma once

#include <QString>

#include <stdexcept>

// An unexpected failure: reported with its own description, ends the operation in progress
// through its clean-up, and in command-line mode ends the program with exit status 1.
class UnexpectedFailure : public std::runtime_error
{
public:
    explicit UnexpectedFailure(const QString& description)
        : std::runtime_error(description.toStdString())
        , m_description(description)
    {}

    const QString& description() const { return m_description; }

private:
    QString m_description;
};
