#include "platform/process.h"

#include <unistd.h>
#include <QByteArray>
#include <QFile>
#include <QList>
#include <csignal>

namespace platform {

std::optional<double> processorSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // The name, the second field, may hold spaces and parentheses: fields are counted after it.
    const qsizetype name = line.lastIndexOf(')');
    if (name < 0)
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(name + 2).split(' ');
    // utime and stime, the 14th and 15th fields, the 12th and 13th after the name.
    if (fields.size() < 13)
        return std::nullopt;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

void endProcess(qint64 pid)
{
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

}  // namespace platform
