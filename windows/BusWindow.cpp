#include "windows/BusWindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "base/Formats.h"
#include "base/Texts.h"
#include "config/ConfigFile.h"
#include "config/PanelTexts.h"
#include "serial/PortMap.h"
#include "session/DisplaySession.h"

namespace {

const TTexts kAddresses{"Adreces de", "Direcciones de", "Adresses de", "Addresses from"};
const TTexts kTo{"a", "a", "à", "to"};
const TTexts kScan{"Explora la línia", "Explorar la línea", "Rechercher", "Scan the line"};
const TTexts kCancel{"Cancel·la", "Cancelar", "Annuler", "Cancel"};
const TTexts kStep{"Adreça %1 (%2 de %3), %4 trobats", "Dirección %1 (%2 de %3), %4 encontrados",
    "Adresse %1 (%2 sur %3), %4 trouvés", "Address %1 (%2 of %3), %4 found"};
const TTexts kFolder{"Carpeta:", "Carpeta:", "Dossier :", "Folder:"};
const TTexts kNoFolder{"(cap)", "(ninguna)", "(aucun)", "(none)"};
const TTexts kChoose{"Tria...", "Elegir...", "Choisir...", "Choose..."};
const TTexts kStartReading{"Llegeix", "Leer", "Lire", "Read"};
const TTexts kStopReading{"Atura la lectura", "Detener la lectura", "Arrêter la lecture", "Stop reading"};
const TTexts kSendFiles{"Envia els fitxers", "Enviar los ficheros", "Envoyer les fichiers", "Send their files"};
const TTexts kSendWindow{"Envia la configuració de la finestra", "Enviar la configuración de la ventana",
    "Envoyer la configuration de la fenêtre", "Send the window's configuration"};
const TTexts kReceive{"Rep a la carpeta", "Recibir en la carpeta", "Recevoir dans le dossier", "Receive into the folder"};
const TTexts kDifferences{"Diferències", "Diferencias", "Différences", "Differences"};
const TTexts kOpen{"Obre a la finestra principal", "Abrir en la ventana principal", "Ouvrir dans la fenêtre principale",
    "Open in the main window"};
const TTexts kExport{"Exporta CSV...", "Exportar CSV...", "Exporter CSV...", "Export CSV..."};
const TTexts kClose{"Tanca", "Cerrar", "Fermer", "Close"};
const TTexts kLastCommand{"Última ordre", "Última orden", "Dernière commande", "Last command"};
constexpr int kColumnCount = 11;
const TTexts kRelayOn{"activat", "activado", "activé", "on"};
const TTexts kRelayOff{"desactivat", "desactivado", "désactivé", "off"};
const TTexts kNoDigits{"El visualitzador no envia els seus dígits: sense fitxer no se saben.",
    "El visualizador no envía sus dígitos: sin fichero no se saben.",
    "L'afficheur n'envoie pas ses chiffres : sans fichier, ils sont inconnus.",
    "The display does not send its digits: without a file they are not known."};
const TTexts kNothingDiffers{"Cap camp no difereix del fitxer.", "Ningún campo difiere del fichero.",
    "Aucun champ ne diffère du fichier.", "No field differs from the file."};
const TTexts kSelect{"Seleccioneu primer una fila.", "Seleccione primero una fila.", "Sélectionnez d'abord une ligne.",
    "Select a row first."};
const TTexts kExported{"Taula exportada a %1.", "Tabla exportada a %1.", "Tableau exporté dans %1.",
    "Table exported to %1."};
const TTexts kGiven{"El port és per a la finestra principal: adreça %1.",
    "El puerto es para la ventana principal: dirección %1.", "Le port est à la fenêtre principale : adresse %1.",
    "The port is the main window's: address %1."};
const TTexts kCsvFilter{"Fitxers CSV (*.csv)", "Ficheros CSV (*.csv)", "Fichiers CSV (*.csv)", "CSV files (*.csv)"};

QString u8(const std::string& s) { return QString::fromStdString(s); }

} // namespace

TBusWindow::TBusWindow(QWidget* owner, TLanguage language, int replyTimeoutMs, TConfigSource source, TMayRun mayRun,
    TOpenInMain openInMain)
    : QWidget(owner, Qt::Window), language_(language), source_(std::move(source)), openInMain_(std::move(openInMain))
{
    setObjectName(QStringLiteral("BusWindow"));
    bus_.setLineSource(source_);
    bus_.setMayRun(std::move(mayRun));
    bus_.setReplyTimeout(replyTimeoutMs);

    auto* layout = new QVBoxLayout(this);
    portLabel_ = new QLabel(this);
    portLabel_->setObjectName(QStringLiteral("PortLabel"));
    QFont bold = portLabel_->font();
    bold.setBold(true);
    portLabel_->setFont(bold);
    layout->addWidget(portLabel_);

    auto* scanRow = new QHBoxLayout;
    rangeLabel_ = new QLabel(this);
    toLabel_ = new QLabel(this);
    first_ = new QSpinBox(this);
    last_ = new QSpinBox(this);
    first_->setObjectName(QStringLiteral("FirstAddress"));
    last_->setObjectName(QStringLiteral("LastAddress"));
    for (QSpinBox* s : {first_, last_})
        s->setRange(0, 31);
    last_->setValue(31);
    scan_ = new QPushButton(this);
    scan_->setObjectName(QStringLiteral("ScanButton"));
    cancel_ = new QPushButton(this);
    cancel_->setObjectName(QStringLiteral("CancelButton"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ScanProgress"));
    step_ = new QLabel(this);
    step_->setObjectName(QStringLiteral("ScanStep"));
    for (QWidget* w : std::initializer_list<QWidget*>{rangeLabel_, first_, toLabel_, last_, scan_, cancel_, progress_})
        scanRow->addWidget(w);
    scanRow->setStretchFactor(progress_, 1);
    layout->addLayout(scanRow);
    layout->addWidget(step_);

    auto* folderRow = new QHBoxLayout;
    folderName_ = new QLabel(this);
    folder_ = new QLabel(this);
    folder_->setObjectName(QStringLiteral("FolderLabel"));
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chooseFolder_ = new QPushButton(this);
    chooseFolder_->setObjectName(QStringLiteral("ChooseFolderButton"));
    folderRow->addWidget(folderName_);
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(chooseFolder_);
    layout->addLayout(folderRow);

    table_ = new QTableWidget(0, kColumnCount, this);
    table_->setObjectName(QStringLiteral("DisplayTable"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);
    layout->addWidget(table_, 1);

    auto* actions = new QHBoxLayout;
    auto button = [this](QHBoxLayout* row, const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        row->addWidget(b);
        return b;
    };
    reading_ = button(actions, "ReadingButton");
    sendFiles_ = button(actions, "SendFilesButton");
    sendWindow_ = button(actions, "SendWindowButton");
    receive_ = button(actions, "ReceiveButton");
    actions->addStretch(1);
    layout->addLayout(actions);
    auto* bottom = new QHBoxLayout;
    differences_ = button(bottom, "DifferencesButton");
    open_ = button(bottom, "OpenButton");
    export_ = button(bottom, "ExportButton");
    bottom->addStretch(1);
    close_ = button(bottom, "CloseButton");
    layout->addLayout(bottom);

    notice_label_ = new QLabel(this);
    notice_label_->setObjectName(QStringLiteral("NoticeLabel"));
    notice_label_->setWordWrap(true);
    notice_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(notice_label_);

    // Readings come as fast as the line answers; the table is redrawn at most
    // five times a second.
    refresh_ = new QTimer(this);
    refresh_->setSingleShot(true);
    refresh_->setInterval(200);
    connect(refresh_, &QTimer::timeout, this, &TBusWindow::refreshNow);

    connect(scan_, &QPushButton::clicked, this, &TBusWindow::scan);
    connect(cancel_, &QPushButton::clicked, &bus_, &TDisplayBus::cancelScan);
    connect(chooseFolder_, &QPushButton::clicked, this, &TBusWindow::chooseFolder);
    connect(reading_, &QPushButton::clicked, this, [this] {
        if (bus_.readingOn())
            bus_.stopReading();
        else
            bus_.startReading();
    });
    connect(sendFiles_, &QPushButton::clicked, this, &TBusWindow::sendFiles);
    connect(sendWindow_, &QPushButton::clicked, this, &TBusWindow::sendWindowConfiguration);
    connect(receive_, &QPushButton::clicked, this, &TBusWindow::receive);
    connect(differences_, &QPushButton::clicked, this, &TBusWindow::showDifferences);
    connect(open_, &QPushButton::clicked, this, &TBusWindow::openSelected);
    connect(export_, &QPushButton::clicked, this, &TBusWindow::chooseExport);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &TBusWindow::showActivity);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    connect(&bus_, &TDisplayBus::rowAdded, this, [this](std::uint8_t address) {
        table_->setRowCount(static_cast<int>(bus_.rows().size()));
        markDirty(address);
        refreshNow();
    });
    connect(&bus_, &TDisplayBus::rowChanged, this, &TBusWindow::markDirty);
    connect(&bus_, &TDisplayBus::activityChanged, this, &TBusWindow::showActivity);
    connect(&bus_, &TDisplayBus::notice, this, &TBusWindow::showNotice);
    connect(&bus_, &TDisplayBus::scanProgress, this, [this](int asked, int total, int found) {
        scanAsked_ = asked;
        scanTotal_ = total;
        scanFound_ = found;
        progress_->setRange(0, total);
        progress_->setValue(asked);
        applyTexts();
    });
    connect(&bus_, &TDisplayBus::scanEnded, this, [this] { refreshNow(); });

    applyTexts();
    showActivity();
    resize(1000, 460);
}

TBusWindow::~TBusWindow() = default;

void TBusWindow::setLanguage(TLanguage language)
{
    if (language == language_)
        return;
    language_ = language;
    applyTexts();
    refreshNow();
}

void TBusWindow::applyTexts()
{
    auto text = [this](const TTexts& t) { return QString::fromUtf8(t.pick(language_)); };
    setWindowTitle(u8(busWindowTitle(language_)));
    const TDisplayConfig line = bus_.scanning() || !bus_.rows().empty() ? bus_.lineConfig()
                                : source_                              ? source_()
                                                                       : bus_.lineConfig();
    const SerialPanelText serial = serialPanelText(line);
    const std::string path = resolvePortPath(serial.port);
    portLabel_->setText(u8((path.empty() ? serial.port : serial.port + " (" + path + ")") + ", " + serial.baud + " baud"));
    rangeLabel_->setText(text(kAddresses));
    toLabel_->setText(text(kTo));
    folderName_->setText(text(kFolder));
    folder_->setText(bus_.folder().empty() ? text(kNoFolder) : u8(bus_.folder()));
    if (scanAsked_ >= 0 && scanAsked_ < scanTotal_ && bus_.scanning())
        step_->setText(u8(fillIn(kStep.pick(language_),
            {cfmt("%02d", std::min(first_->value(), last_->value()) + scanAsked_), cfmt("%d", scanAsked_ + 1), cfmt("%d", scanTotal_),
                cfmt("%d", scanFound_)})));
    else
        step_->clear();
    const std::pair<QPushButton*, const TTexts*> buttons[] = {{scan_, &kScan}, {cancel_, &kCancel},
        {chooseFolder_, &kChoose}, {reading_, bus_.readingOn() ? &kStopReading : &kStartReading},
        {sendFiles_, &kSendFiles}, {sendWindow_, &kSendWindow}, {receive_, &kReceive}, {differences_, &kDifferences},
        {open_, &kOpen}, {export_, &kExport}, {close_, &kClose}};
    for (const auto& [b, t] : buttons) {
        b->setText(text(*t));
        b->setMinimumWidth(std::max(80, b->fontMetrics().horizontalAdvance(b->text()) + 28));
    }
    QStringList headers;
    for (const std::string& name : busColumns(language_))
        headers << u8(name);
    headers << text(kLastCommand);
    table_->setHorizontalHeaderLabels(headers);
    table_->horizontalHeaderItem(6)->setToolTip(text(kNoDigits));
    notice_label_->setText(u8(notice_.pick(language_)));
}

void TBusWindow::markDirty(std::uint8_t address)
{
    dirty_.insert(address);
    if (!refresh_->isActive())
        refresh_->start();
}

void TBusWindow::refreshNow()
{
    refresh_->stop();
    dirty_.clear();
    const auto& rows = bus_.rows();
    if (table_->rowCount() != static_cast<int>(rows.size()))
        table_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        showRow(i);
    // The last column takes what is left; its whole text is in its tip.
    for (int c = 0; c < kColumnCount - 1; ++c)
        table_->resizeColumnToContents(c);
}

void TBusWindow::showRow(int index)
{
    const TBusRow& row = *bus_.rows()[static_cast<std::size_t>(index)];
    const bool stale = readingStale(row.reading);
    auto cell = [&](int column, const std::string& text, const QString& tip = {}) {
        QTableWidgetItem* item = table_->item(index, column);
        if (!item) {
            item = new QTableWidgetItem;
            table_->setItem(index, column, item);
        }
        const QString shown = u8(text);
        if (item->text() != shown)
            item->setText(shown);
        item->setToolTip(tip);
        // A value that is no longer fresh is greyed, never shown as current.
        item->setForeground(stale && column <= 3 ? QColor(0x90, 0x90, 0x90) : palette().color(QPalette::Text));
        return item;
    };
    cell(0, cfmt("%02d", row.address));
    cell(1, row.value ? readingValueText(*row.value) : "");
    for (int n = 0; n < 2; ++n) {
        const bool known = row.relays.has_value();
        const bool on = known && (*row.relays)[static_cast<std::size_t>(n)];
        QTableWidgetItem* lamp = cell(2 + n, known ? "\u25CF" : "",
            known ? QString::fromUtf8((on ? kRelayOn : kRelayOff).pick(language_)) : QString());
        lamp->setTextAlignment(Qt::AlignCenter);
        if (known && !stale)
            lamp->setForeground(on ? QColor(0xd0, 0x10, 0x10) : QColor(0x60, 0x60, 0x60));
    }
    cell(4, readingStateText(row.reading, language_));
    if (row.paramsComplete) {
        const TConfigSummary s = configSummary(*row.config,
            row.file ? std::optional<std::uint8_t>(row.file->DigitsIndex) : std::nullopt, language_);
        cell(5, s.input);
        cell(6, s.digits.empty() ? "-" : s.digits, s.digits.empty() ? QString::fromUtf8(kNoDigits.pick(language_)) : QString());
        cell(7, s.decimals);
        cell(8, s.setpoints);
    } else {
        for (int c = 5; c <= 8; ++c)
            cell(c, "?");
    }
    const TFileState state = bus_.fileState(row);
    const std::string differ = differencesText(bus_.differences(row, language_), language_);
    QString fileTip = u8(differ);
    if (state == TFileState::Unreadable)
        fileTip = u8(describeFileError(bus_.folderFile(row.address), row.fileResult, language_));
    QTableWidgetItem* file = cell(9, fileStateText(state, language_), fileTip);
    if (state == TFileState::Differs)
        file->setForeground(QColor(0xc0, 0x00, 0x00));
    else if (state == TFileState::Matches)
        file->setForeground(QColor(0x00, 0x70, 0x00));
    const std::string task = row.taskWords.pick(language_);
    cell(10, task, u8(task));
}

void TBusWindow::showActivity()
{
    const bool scanning = bus_.scanning();
    const bool rows = !bus_.rows().empty();
    const bool selected = !selectedAddresses().empty();
    scan_->setEnabled(!scanning);
    cancel_->setEnabled(scanning);
    first_->setEnabled(!scanning);
    last_->setEnabled(!scanning);
    reading_->setEnabled(!scanning && rows);
    for (QPushButton* b : {sendFiles_, sendWindow_, receive_, differences_, open_})
        b->setEnabled(!scanning && selected);
    export_->setEnabled(rows);
    if (!scanning)
        progress_->setValue(progress_->maximum());
    applyTexts();
}

void TBusWindow::showNotice(const TWords& words)
{
    notice_ = words;
    notice_label_->setText(u8(notice_.pick(language_)));
}

std::vector<std::uint8_t> TBusWindow::selectedAddresses() const
{
    std::vector<std::uint8_t> out;
    const auto& rows = bus_.rows();
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        if (index.row() >= 0 && index.row() < static_cast<int>(rows.size()))
            out.push_back(rows[static_cast<std::size_t>(index.row())]->address);
    std::sort(out.begin(), out.end());
    return out;
}

void TBusWindow::selectAddresses(const std::vector<std::uint8_t>& addresses)
{
    table_->clearSelection();
    const auto& rows = bus_.rows();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        if (std::ranges::find(addresses, rows[static_cast<std::size_t>(i)]->address) != addresses.end())
            table_->selectionModel()->select(table_->model()->index(i, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TBusWindow::scan()
{
    table_->clearSelection();
    table_->setRowCount(0);
    scanAsked_ = -1;
    bus_.scan(static_cast<std::uint8_t>(first_->value()), static_cast<std::uint8_t>(last_->value()));
    showActivity();
}

void TBusWindow::setFolder(const QString& folder)
{
    bus_.setFolder(folder.toStdString());
    applyTexts();
    refreshNow();
}

void TBusWindow::chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QString::fromUtf8(kFolder.pick(language_)),
        u8(bus_.folder()));
    if (!folder.isEmpty())
        setFolder(folder);
}

bool TBusWindow::exportCsv(const QString& path)
{
    const std::string csv = busCsv(bus_.csvRows(language_), language_);
    const std::string name = path.toStdString();
    const FileResult result = saveFile(name, csv.data(), csv.size());
    showNotice(wordsBy([&](TLanguage l) {
        return result.ok ? fillIn(kExported.pick(l), {name}) : describeFileError(name, result, l);
    }));
    return result.ok;
}

void TBusWindow::chooseExport()
{
    const QString path = QFileDialog::getSaveFileName(this, QString::fromUtf8(kExport.pick(language_)),
        QString(), QString::fromUtf8(kCsvFilter.pick(language_)));
    if (!path.isEmpty())
        exportCsv(path);
}

void TBusWindow::showDifferences()
{
    const std::vector<std::uint8_t> addresses = selectedAddresses();
    if (addresses.empty()) {
        showNotice(wordsOf(kSelect));
        return;
    }
    QString text;
    for (const std::uint8_t a : addresses) {
        const TBusRow* row = bus_.row(a);
        if (!row)
            continue;
        const TFileState state = bus_.fileState(*row);
        std::string said = differencesText(bus_.differences(*row, language_), language_);
        if (said.empty())
            said = state == TFileState::Matches ? kNothingDiffers.pick(language_) : fileStateText(state, language_);
        text += u8(cfmt("%02d  ", a) + bus_.folderFile(a) + "\n" + said + "\n\n");
    }
    QMessageBox box(QMessageBox::Information, windowTitle(), text.trimmed(), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("DifferencesBox"));
    box.exec();
}

void TBusWindow::openSelected()
{
    const std::vector<std::uint8_t> addresses = selectedAddresses();
    if (addresses.size() != 1) {
        showNotice(wordsOf(kSelect));
        return;
    }
    const std::uint8_t address = addresses.front();
    // The port goes to the main window once the line is quiet.
    bus_.release([this, address] {
        showNotice(wordsOf(kGiven, {cfmt("%02d", address)}));
        if (openInMain_)
            openInMain_(address);
    });
}

void TBusWindow::sendFiles()
{
    bus_.sendFiles(selectedAddresses());
}

void TBusWindow::sendWindowConfiguration()
{
    if (source_)
        bus_.sendConfiguration(selectedAddresses(), source_());
}

void TBusWindow::receive()
{
    bus_.receiveIntoFolder(selectedAddresses());
}

void TBusWindow::closeEvent(QCloseEvent* event)
{
    // Closed, it asks nothing more and gives the port back.
    bus_.release([] {});
    QWidget::closeEvent(event);
}
