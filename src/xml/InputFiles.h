#pragma once

#include <QString>

#include <sys/types.h>

#include <utility>
#include <vector>

/**
 * The files one run reads: the source, the style sheet and every file the XML service opens for
 * it (style sheet modules, document() targets). Files are known by device and inode, not by
 * spelling, so that an output path naming one of them through a link or ".." is still found.
 * While an object lives it is the one the XML service notes the files it opens in; libxml2's
 * loader callbacks carry no context of ours, hence the scoped "current" recorder.
 */
class InputFiles
{
public:
    InputFiles();
    ~InputFiles();
    InputFiles(const InputFiles&) = delete;
    InputFiles& operator=(const InputFiles&) = delete;

    // Notes the file a path names now; nothing when there is none.
    void add(const QString& path);

    // Whether an existing file at path is one of the files read.
    bool contains(const QString& path) const;

    // Notes the open file in the current recorder, if there is one.
    static void noteOpened(int fd);

private:
    void add(dev_t device, ino_t inode);

    std::vector<std::pair<dev_t, ino_t>> m_files;
    InputFiles* m_previous;
};
