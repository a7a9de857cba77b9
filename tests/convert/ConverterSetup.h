#pragma once

#include "convert/ConverterDiscovery.h"
#include "platform/RegHive.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

class TestEnvironment;

// Lays out copies of the test converter library for the field products and the machine-wide hive
// that registers them, and reads back what the converters were called with.
class ConverterSetup
{
public:
    enum class Library
    {
        Full,
        InspectOnly,   // lacks converter_TranslatePlus
        TranslateOnly, // lacks converter_InspectFile
        NotALibrary,
    };

    explicit ConverterSetup(const TestEnvironment& env);
    ~ConverterSetup();
    ConverterSetup(const ConverterSetup&) = delete;
    ConverterSetup& operator=(const ConverterSetup&) = delete;

    static QString productName(ConverterProduct product);

    // The product's converter folder, without a trailing separator; the test converter takes its
    // product from this folder's name.
    QString folder(ConverterProduct product) const;

    // Copies a converter into the product's folder; returns its path.
    QString install(ConverterProduct product, const QString& fileName, Library library = Library::Full) const;

    // Sets "Directory" and "Language File" of the product and a "Versions" name for a file name.
    void registerVersion(ConverterProduct product, const QString& versionName, const QString& fileName);

    // Installs and registers each product's converter under the version 12.50.
    void installAll();

    void setValue(const QString& keyPath, const QString& name, const RegHive::Data& data);
    void setText(const QString& keyPath, const QString& name, const QString& text);
    static QString languageFile(ConverterProduct product);

    // Writes the machine-wide hive with everything set so far.
    void writeHive() const;
    QString hivePath() const;

    // Writes a job file of the test converter's format below the test root.
    QString writeJob(const QString& name, ConverterProduct product, int version, const QStringList& extra = {}) const;

    // What the converters logged: each call's fields, and the faults they found in what they got.
    std::vector<QMap<QString, QString>> calls() const;
    QStringList faults() const;

private:
    const TestEnvironment& m_env;
    RegHive m_hive;
    QString m_logPath;
    QByteArray m_previousLog; // a setup made inside another's lifetime hands the log back
};
