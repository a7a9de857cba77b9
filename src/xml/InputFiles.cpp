#include "xml/InputFiles.h"

#include <QFile>

#include <algorithm>
#include <sys/stat.h>

namespace {

InputFiles* current = nullptr;

} // namespace

InputFiles::InputFiles()
    : m_previous(std::exchange(current, this))
{}

InputFiles::~InputFiles()
{
    current = m_previous;
}

void InputFiles::add(dev_t device, ino_t inode)
{
    const std::pair file(device, inode);
    if (std::find(m_files.begin(), m_files.end(), file) == m_files.end())
        m_files.push_back(file);
}

void InputFiles::add(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        add(info.st_dev, info.st_ino);
}

bool InputFiles::contains(const QString& path) const
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return std::find(m_files.begin(), m_files.end(), std::pair(info.st_dev, info.st_ino)) != m_files.end();
}

void InputFiles::noteOpened(int fd)
{
    struct stat info;
    if (current && ::fstat(fd, &info) == 0)
        current->add(info.st_dev, info.st_ino);
}
