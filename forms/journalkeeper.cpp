#include "forms/journalkeeper.h"

#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "editor/sourcedocument.h"
#include "forms/form1.h"
#include "forms/warning.h"

using namespace Qt::StringLiterals;

namespace forms {

namespace {

// What the person should know beside the question: the file, and what could not come back.
QString notesOn(const engine::JournalEntry &entry, const QString &asideNote)
{
    QStringList notes;
    if (!entry.path.isEmpty())
        notes.append(entry.path);
    if (!entry.cameFrom.isEmpty())
        notes.append(
            u"「%1」の内容ですが、文字コードが分からないため新しい文書として戻します。"
            u"保存するときは名前を付けてください。"_s.arg(entry.cameFrom));
    if (entry.dropped > 0)
        notes.append(
            u"控えの終わりの %1 バイトが壊れていたため、その前までの内容を戻します。"_s.arg(
                entry.dropped));
    if (!asideNote.isEmpty())
        notes.append(asideNote);
    return notes.join(u"\n\n"_s);
}

// The text is the document again, unsaved, with its file and encoding; the journal it came
// from goes once this program's own holds the text.
void restore(Form1 &form1, const engine::JournalEntry &entry)
{
    // Into the new document the window starts with, else a document of its own.
    if (!form1.documentPath().isEmpty() || form1.document().isModified() ||
        form1.document().size() > 0)
        form1.addDocument();
    form1.setDocument(entry.path, entry.encoding);
    form1.document().setText(entry.text);
    form1.document().setModified(true);
    auto *once = new QObject(&form1);
    QObject::connect(&form1.journal(), &JournalKeeper::written, once, [once, file = entry.file] {
        engine::Journal::remove(file);
        once->deleteLater();
    });
}

// Offers the first of entries, then the rest, one question at a time.
void offerEach(Form1 &form1, QList<engine::JournalEntry> entries, const QString &asideNote)
{
    if (entries.isEmpty())
        return;
    const engine::JournalEntry entry = entries.takeFirst();
    const QString name =
        entry.path.isEmpty() ? u"新しい文書"_s : u"「%1」"_s.arg(QFileInfo(entry.path).fileName());
    auto *box = new QMessageBox(
        QMessageBox::Question, u"Quorvane"_s,
        u"%1 の保存していない内容が残っています (%2 まで)。\n復元しますか?"_s.arg(
            name, QLocale(QLocale::Japanese).toString(entry.written, u"yyyy/MM/dd HH:mm:ss"_s)),
        QMessageBox::NoButton, &form1);
    box->setObjectName(u"journalQuestion"_s);
    box->setInformativeText(notesOn(entry, asideNote));
    QPushButton *restoreButton = box->addButton(u"復元する"_s, QMessageBox::AcceptRole);
    QPushButton *discard = box->addButton(u"破棄する"_s, QMessageBox::DestructiveRole);
    box->setDefaultButton(restoreButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, &form1,
                     [&form1, box, restoreButton, discard, entry, entries] {
                         if (box->clickedButton() == discard)
                             engine::Journal::remove(entry.file);
                         else if (box->clickedButton() == restoreButton)
                             restore(form1, entry);
                         offerEach(form1, entries, QString());
                     });
    box->open();
}

}  // namespace

void offerJournal(Form1 &form1, const QString &folder)
{
    // A journal that cannot be read is never deleted unread: it is set aside and named.
    QList<engine::JournalEntry> entries;
    QStringList setAside;
    for (const QString &file : engine::Journal::orphans(folder)) {
        if (std::optional<engine::JournalEntry> entry = engine::Journal::read(file))
            entries.append(std::move(*entry));
        else
            setAside.append(engine::Journal::setAside(file));
    }
    const QString asideNote =
        setAside.isEmpty()
            ? QString()
            : u"読み取れない控えがありました。消さずに次の場所に残してあります:\n%1"_s.arg(
                  setAside.join(u'\n'));
    if (entries.isEmpty()) {
        if (!setAside.isEmpty())
            warn(&form1, u"Quorvane"_s, asideNote);
        return;
    }
    offerEach(form1, entries, asideNote);
}

JournalKeeper::JournalKeeper(editor::SourceDocument &document, const QString &folder,
                             QObject *parent)
    : QObject(parent), m_document(document)
{
    if (folder.isEmpty())
        return;
    m_journal = std::make_unique<engine::Journal>(folder);
    connect(m_journal.get(), &engine::Journal::failed, this, &JournalKeeper::failed);
    connect(m_journal.get(), &engine::Journal::wrote, this, &JournalKeeper::written);
    m_due.setSingleShot(true);
    connect(&m_due, &QTimer::timeout, this, &JournalKeeper::write);
    // On every edit: a text saved is not yet told apart from one about to be changed.
    connect(&document, &editor::SourceDocument::edited, this,
            [this](qsizetype position, qsizetype removed, qsizetype added) {
                m_kept = false;
                m_journal->edited(position, removed, m_document.characters(position, added));
                due();
            });
    connect(&document, &editor::SourceDocument::replaced, this, [this] {
        m_kept = false;
        m_journal->renew();
        due();
    });
    connect(&document, &editor::SourceDocument::modificationChanged, this, [this](bool modified) {
        if (modified) {
            due();
            return;
        }
        m_due.stop();
        m_journal->discard();
    });
}

JournalKeeper::~JournalKeeper()
{
    if (m_journal && !m_kept)
        m_journal->discard();
}

void JournalKeeper::setDocument(const QString &path, const QString &encoding)
{
    m_path = path;
    m_encoding = encoding;
    if (!m_journal)
        return;
    m_journal->renew();
    due();
}

void JournalKeeper::due()
{
    // Not put off by further typing: a change waits at most kWithin.
    if (m_document.isModified() && !m_due.isActive())
        m_due.start(kWithin);
}

std::optional<QString> JournalKeeper::keepForNextStart()
{
    if (!m_document.isModified())
        return std::nullopt;
    if (!m_journal)
        return u"控えを置くフォルダーがありません。"_s;
    m_due.stop();
    std::optional<QString> error = m_journal->writeNow([this] { return whole(); });
    m_kept = !error;
    return error;
}

engine::Journal::Whole JournalKeeper::whole() const
{
    engine::Journal::Whole whole{m_document.kept(), std::nullopt, m_path, m_encoding};
    if (m_document.isAmbiguous())
        whole.text = m_document.text();
    return whole;
}

void JournalKeeper::write()
{
    if (!m_document.isModified())
        return;
    const bool taken = m_journal->write([this] { return whole(); });
    // A write under way: the next one follows it closely.
    if (!taken)
        m_due.start(kWithin / 10);
}

}  // namespace forms
