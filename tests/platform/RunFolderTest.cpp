#include "TestEnvironment.h"

#include "platform/RunFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

TEST(RunFolderTest, AFolderIsPrivateAndMakingOneRemovesWhatDeadRunsLeftAndNothingElse)
{
    const TestEnvironment env;
    // No process has an id this large: the run that made these folders is gone.
    const QString abandoned = QStringLiteral("tabulon-999999999-XyZabc");
    env.writeFile(QStringLiteral("tmp/") + abandoned + QStringLiteral("/output.tmp"), "left by a killed run");
    // Left alone: the folder of a process that lives, a link named like a run folder whose
    // process is gone, and anything not named like a run folder.
    const QString live = QStringLiteral("tabulon-%1-AbCdEf").arg(::getpid());
    const QString link = QStringLiteral("tabulon-999999999-AbCdEf");
    const QString foreign = QStringLiteral("tabulon-report.tmp");
    env.writeFile(QStringLiteral("tmp/") + live + QStringLiteral("/output.tmp"), "in use");
    const QString victim = env.writeFile(QStringLiteral("victim/output.tmp"), "keep");
    ASSERT_TRUE(QFile::link(QFileInfo(victim).absolutePath(), env.tempDir() + u'/' + link));
    env.writeFile(QStringLiteral("tmp/") + foreign, "keep");
    const QStringList others{foreign, live, link};

    {
        const RunFolder folder;
        const QString name = QFileInfo(QDir::cleanPath(folder.path())).fileName();
        EXPECT_EQ(sorted(env.tempFiles()), sorted(others + QStringList{name}));
        struct stat info;
        ASSERT_EQ(::lstat(QFile::encodeName(folder.path()).constData(), &info), 0);
        EXPECT_EQ(info.st_mode, S_IFDIR | 0700);
        folder.createFile(QStringLiteral("output.tmp"));
    }
    EXPECT_EQ(sorted(env.tempFiles()), sorted(others));
    QFile kept(victim);
    EXPECT_TRUE(kept.open(QIODevice::ReadOnly) && kept.readAll() == "keep");
}

} // namespace
