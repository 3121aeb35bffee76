#include "webview/rendererwatch.h"

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <algorithm>

#include "platform/process.h"

namespace webview {

namespace {

constexpr std::chrono::milliseconds kLook{250};
// Of the time held, at least this share on the processor.
constexpr double kBusy = 0.8;

}  // namespace

RendererWatch::RendererWatch(QWebEnginePage &page, QObject *parent) : QObject(parent), m_page(page)
{
    m_clock.start();
    m_tick.setInterval(kLook);
    connect(&m_tick, &QTimer::timeout, this, &RendererWatch::look);
    m_tick.start();
}

void RendererWatch::restart()
{
    m_asked = -1;
    ++m_question;
    m_samples.clear();
}

void RendererWatch::look()
{
    const qint64 pid = m_page.renderProcessPid();
    const qint64 now = m_clock.elapsed();
    if (pid <= 0) {
        restart();
        return;
    }
    if (m_asked < 0) {
        m_asked = now;
        QPointer<RendererWatch> self(this);
        const quint64 question = ++m_question;
        m_page.runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                             [self, question](const QVariant &) {
                                 if (self && question == self->m_question)
                                     self->m_asked = -1;
                             });
    }
    if (const std::optional<double> seconds = platform::processorSeconds(pid))
        m_samples.append({now, *seconds});
    if (isHeld(m_samples, m_asked, now, (kHeld + std::max(m_allowance, m_checking)).count())) {
        restart();
        emit held(pid);
    }
}

bool RendererWatch::isHeld(Samples &samples, qint64 asked, qint64 now, qint64 limit)
{
    while (samples.size() > 1 && now - samples[1].first >= limit)
        samples.removeFirst();
    if (asked < 0 || now - asked < limit || samples.size() < 2)
        return false;
    const auto &[since, before] = samples.first();
    const double busy = (samples.last().second - before) * 1000.0 / double(now - since);
    return now - since >= limit && busy >= kBusy;
}

}  // namespace webview
