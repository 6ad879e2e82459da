#include "windows/TrafficMonitor.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "config/ConfigFile.h"
#include "base/Texts.h"
#include "link/DisplayLink.h"
#include "link/LinkTexts.h"

namespace {

const TTexts kTitle{"Monitor de trànsit", "Monitor de tráfico", "Moniteur de trafic", "Traffic monitor"};
const TTexts kColumns[] = {
    {"Hora", "Hora", "Heure", "Time"},
    {"Sentit", "Sentido", "Sens", "Direction"},
    {"Port", "Puerto", "Port", "Port"},
    {"Trama", "Trama", "Trame", "Frame"},
    {"Latència", "Latencia", "Latence", "Latency"},
    {"Resultat", "Resultado", "Résultat", "Outcome"},
};
const TTexts kSent{"Enviat", "Enviado", "Envoyé", "Sent"};
const TTexts kReceived{"Rebut", "Recibido", "Reçu", "Received"};
const TTexts kPause{"Pausa", "Pausa", "Pause", "Pause"};
const TTexts kResume{"Continua", "Continuar", "Reprendre", "Resume"};
const TTexts kClear{"Esborra", "Borrar", "Effacer", "Clear"};
const TTexts kSave{"Desa com a text...", "Guardar como texto...", "Enregistrer en texte...", "Save as text..."};
const TTexts kHex{"Hexadecimal", "Hexadecimal", "Hexadécimal", "Hex"};
const TTexts kCount{"%1 trames", "%1 tramas", "%1 trames", "%1 frames"};
const TTexts kCountPaused{"%1 trames (en pausa: %2 més)", "%1 tramas (en pausa: %2 más)",
    "%1 trames (en pause : %2 de plus)", "%1 frames (paused: %2 more)"};
const TTexts kNotSaved{"No s'ha pogut desar el registre", "No se ha podido guardar el registro",
    "Impossible d'enregistrer le journal", "The log could not be saved"};

QString u8(const std::string& s) { return QString::fromStdString(s); }

} // namespace

TTrafficModel::TTrafficModel(TLanguage language, QObject* parent) : QAbstractTableModel(parent), language_(language) {}

int TTrafficModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(frames_.size());
}

int TTrafficModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

TTrafficModel::TRow TTrafficModel::row(const TTrafficRecord& r) const
{
    const bool sent = r.direction == TTrafficDirection::Sent;
    TRow row;
    row.sent = sent;
    row.note = r.note;
    row.cells[TimeColumn] = u8(trafficTime(r.time));
    row.cells[PortColumn] = u8(r.port);
    row.cells[FrameColumn] = u8(trafficText(r.bytes));
    row.hex = u8(trafficHex(r.bytes));
    if (r.latencyMs)
        row.cells[LatencyColumn] = QStringLiteral("%1 ms").arg(*r.latencyMs);
    sayInLanguage(row);
    row.aside = r.note == TTrafficNote::EchoDropped || r.note == TTrafficNote::AfterCR;
    row.problem = r.note != TTrafficNote::None && !row.aside;
    return row;
}

void TTrafficModel::sayInLanguage(TRow& row) const
{
    row.cells[DirectionColumn] = QString::fromUtf8((row.sent ? kSent : kReceived).pick(language_));
    row.cells[OutcomeColumn] = u8(trafficNoteText(row.note, row.sent, language_));
}

void TTrafficModel::setLanguage(TLanguage language)
{
    if (language == language_)
        return;
    language_ = language;
    for (TRow& r : frames_)
        sayInLanguage(r);
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!frames_.empty())
        emit dataChanged(index(0, 0), index(static_cast<int>(frames_.size()) - 1, ColumnCount - 1));
}

QVariant TTrafficModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= frames_.size())
        return {};
    const TRow& r = frames_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return hex_ && index.column() == FrameColumn ? r.hex : r.cells[index.column()];
    if (role == Qt::ForegroundRole && (r.problem || r.aside))
        return QColor(r.aside ? Qt::darkGray : Qt::red);
    return {};
}

QVariant TTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromUtf8(kColumns[section].pick(language_));
}

void TTrafficModel::add(const std::vector<TTrafficRecord>& records)
{
    if (records.empty())
        return;
    const std::size_t incoming = std::min(records.size(), kMaxFrames);
    const std::size_t excess = frames_.size() + incoming > kMaxFrames ? frames_.size() + incoming - kMaxFrames : 0;
    if (excess > 0) {
        beginRemoveRows({}, 0, static_cast<int>(excess) - 1);
        frames_.erase(frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(excess));
        endRemoveRows();
    }
    const int first = static_cast<int>(frames_.size());
    beginInsertRows({}, first, first + static_cast<int>(incoming) - 1);
    for (std::size_t i = records.size() - incoming; i < records.size(); ++i)
        frames_.push_back(row(records[i]));
    endInsertRows();
}

void TTrafficModel::clear()
{
    beginResetModel();
    frames_.clear();
    endResetModel();
}

void TTrafficModel::setHex(bool hex)
{
    if (hex == hex_)
        return;
    hex_ = hex;
    if (!frames_.empty())
        emit dataChanged(index(0, FrameColumn), index(static_cast<int>(frames_.size()) - 1, FrameColumn));
}

QString TTrafficModel::text() const
{
    QString out;
    for (const TRow& r : frames_) {
        for (int c = 0; c < ColumnCount; ++c) {
            out += hex_ && c == FrameColumn ? r.hex : r.cells[c];
            out += QLatin1Char(c + 1 < ColumnCount ? '\t' : '\n');
        }
    }
    return out;
}

TTrafficMonitor::TTrafficMonitor(QWidget* owner, TLanguage language, TDisplayLink& link)
    : QWidget(owner, Qt::Window), language_(language)
{
    setObjectName(QStringLiteral("TrafficMonitor"));
    setAttribute(Qt::WA_DeleteOnClose);

    model_ = new TTrafficModel(language, this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("TrafficView"));
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    view_->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {104, 80, 170, 300, 70};
    for (int c = 0; c < 5; ++c)
        view_->setColumnWidth(c, widths[c]);
    QFont mono(QStringLiteral("Liberation Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(12);
    view_->setFont(mono);

    pause_ = new QPushButton(this);
    pause_->setObjectName(QStringLiteral("PauseButton"));
    clear_ = new QPushButton(this);
    clear_->setObjectName(QStringLiteral("ClearButton"));
    save_ = new QPushButton(this);
    save_->setObjectName(QStringLiteral("SaveButton"));
    hex_ = new QCheckBox(this);
    hex_->setObjectName(QStringLiteral("HexBox"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("FrameCount"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pause_);
    buttons->addWidget(clear_);
    buttons->addWidget(save_);
    buttons->addWidget(hex_);
    buttons->addStretch();
    buttons->addWidget(count_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);

    connect(pause_, &QPushButton::clicked, this, [this] { setPaused(!paused_); });
    connect(clear_, &QPushButton::clicked, this, [this] {
        model_->clear();
        held_.clear();
        showCount();
    });
    connect(save_, &QPushButton::clicked, this, &TTrafficMonitor::save);
    connect(hex_, &QCheckBox::toggled, model_, &TTrafficModel::setHex);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &TTrafficMonitor::showCount);
    connect(model_, &QAbstractItemModel::modelReset, this, &TTrafficMonitor::showCount);
    flushTimer_ = new QTimer(this);
    flushTimer_->setSingleShot(true);
    flushTimer_->setInterval(1000);
    connect(flushTimer_, &QTimer::timeout, this, &TTrafficMonitor::flush);
    connect(&link, &TDisplayLink::traffic, this, &TTrafficMonitor::add);
    // Escape closes it, as it closes a dialog.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(960, 360);
    applyTexts();
}

void TTrafficMonitor::setLanguage(TLanguage language)
{
    if (language == language_)
        return;
    language_ = language;
    model_->setLanguage(language);
    applyTexts();
}

void TTrafficMonitor::applyTexts()
{
    auto text = [this](const TTexts& t) { return QString::fromUtf8(t.pick(language_)); };
    setWindowTitle(text(kTitle));
    pause_->setText(text(paused_ ? kResume : kPause));
    clear_->setText(text(kClear));
    save_->setText(text(kSave));
    hex_->setText(text(kHex));
    showCount();
}

void TTrafficMonitor::add(const TTrafficRecord& record)
{
    if (held_.size() >= TTrafficModel::kMaxFrames)
        held_.erase(held_.begin());
    held_.push_back(record);
    if (paused_)
        showCount();
    else if (!flushTimer_->isActive())
        flushTimer_->start();
}

void TTrafficMonitor::flush()
{
    if (paused_ || held_.empty())
        return;
    QScrollBar* bar = view_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    model_->add(held_);
    held_.clear();
    if (atEnd)
        view_->scrollToBottom();
    showCount();
}

void TTrafficMonitor::setPaused(bool paused)
{
    paused_ = paused;
    pause_->setText(QString::fromUtf8((paused ? kResume : kPause).pick(language_)));
    flush();
    showCount();
}

void TTrafficMonitor::showCount()
{
    const QString frames = QString::number(model_->rowCount());
    count_->setText(QString::fromStdString(paused_
            ? fillIn(kCountPaused.pick(language_), {frames.toStdString(), std::to_string(held_.size())})
            : fillIn(kCount.pick(language_), {frames.toStdString()})));
}

void TTrafficMonitor::save()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("SaveTrafficDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    const QByteArray bytes = model_->text().toUtf8();
    const FileResult r = saveFile(path.toStdString(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (r.ok)
        return;
    QMessageBox box(QMessageBox::Warning, windowTitle(), QString::fromUtf8(kNotSaved.pick(language_)),
        QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("TrafficSaveErrorBox"));
    box.setInformativeText(QString::fromStdString(describeFileError(path.toStdString(), r, language_)));
    box.exec();
}
