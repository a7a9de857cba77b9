#pragma once

#include "platform/Descriptor.h"

#include <QString>

#include <csignal>

/**
 * The private folder of one run: the run's temporary files that need a name (the converted job;
 * the output being built where the file system has no unnamed files) live in it, so that nothing
 * of another run or of the user is ever deleted or written through. It is created exclusively
 * with owner-only permissions inside the temporary folder, named "tabulon-<pid>-XXXXXX" so that a
 * later run can tell whether its owner still lives, and removed with its files when the object
 * goes. While it exists, an interrupt that InstallInterruptCleanup set up removes it too.
 * Creating one first removes the folders of runs whose process is gone (killed outright, power
 * loss).
 */
class RunFolder
{
public:
    // Throws UnexpectedFailure when the folder cannot be created.
    RunFolder();
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // The folder, with a trailing separator.
    const QString& path() const { return m_path; }

    // Creates a new, empty file of that name in the folder and returns its path. Throws
    // UnexpectedFailure when it cannot be created or already exists.
    QString createFile(const QString& name) const;

private:
    QString m_path;
    Descriptor m_folder{-1}; // held open and locked, so that no other run takes the folder for abandoned
};

// Holds SIGINT, SIGTERM and SIGHUP back on this thread while it lives, so that an interrupt never
// splits steps that belong together; one that came meanwhile acts when it goes.
class InterruptsHeldBack
{
public:
    InterruptsHeldBack();
    ~InterruptsHeldBack();
    InterruptsHeldBack(const InterruptsHeldBack&) = delete;
    InterruptsHeldBack& operator=(const InterruptsHeldBack&) = delete;

private:
    sigset_t m_previous;
};

// SIGINT, SIGTERM and SIGHUP remove the current run's folder, then end the program with status
// 128 + the signal. (An unnamed output file needs no cleaning: it goes with the process.)
void InstallInterruptCleanup();
