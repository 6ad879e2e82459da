#include "bus/DisplayBus.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "base/Formats.h"
#include "base/Texts.h"
#include "link/DisplayLink.h"
#include "link/LinkTexts.h"
#include "link/Traffic.h"
#include "protocol/Replies.h"
#include "serial/SerialBackend.h"
#include "serial/Zcomm.h"
#include "session/DisplayLine.h"
#include "session/DisplaySession.h"

namespace {

const TTexts kScanRunning{"Hi ha una exploració en curs: espereu que acabi o cancel·leu-la.",
    "Hay una exploración en curso: espere a que termine o cancélela.",
    "Une recherche est en cours : attendez qu'elle se termine ou annulez-la.",
    "A scan is under way: wait for it to end or cancel it."};
const TTexts kOpenFailed{"No es pot obrir el port: %1", "No se puede abrir el puerto: %1",
    "Impossible d'ouvrir le port : %1", "The port cannot be opened: %1"};
const TTexts kScanDone{"Exploració acabada: %1 visualitzadors trobats.",
    "Exploración terminada: %1 visualizadores encontrados.", "Recherche terminée : %1 afficheurs trouvés.",
    "Scan finished: %1 displays found."};
const TTexts kScanCancelled{"Exploració cancel·lada: %1 visualitzadors trobats.",
    "Exploración cancelada: %1 visualizadores encontrados.", "Recherche annulée : %1 afficheurs trouvés.",
    "Scan cancelled: %1 displays found."};
const TTexts kLateFound{" Han respost després del temps d'espera: %1 (un temps d'espera més llarg els llegiria).",
    " Han respondido después del tiempo de espera: %1 (un tiempo de espera más largo los leería).",
    " Ont répondu après le délai d'attente : %1 (un délai plus long les lirait).",
    " Answered after the time-out: %1 (a longer time-out would read them)."};
const TTexts kAnsweredLate{
    "L'adreça %1 ha respost després del temps d'espera: un temps d'espera més llarg la llegiria.",
    "La dirección %1 ha respondido después del tiempo de espera: un tiempo de espera más largo la leería.",
    "L'adresse %1 a répondu après le délai d'attente : un délai plus long la lirait.",
    "Address %1 answered after its time-out: a longer time-out would read it."};
const TTexts kOtherAddress{"La petició a l'adreça %1 ha estat resposta com a adreça %2.",
    "La petición a la dirección %1 ha sido respondida como dirección %2.",
    "La demande à l'adresse %1 a reçu une réponse de l'adresse %2.",
    "The request for address %1 was answered as address %2."};
const TTexts kIncomplete{
    "Adreça %1: la resposta de configuració no porta tots els camps o en porta d'il·legibles (%2).",
    "Dirección %1: la respuesta de configuración no trae todos los campos o los trae ilegibles (%2).",
    "Adresse %1 : la réponse de configuration n'a pas tous ses champs ou en a d'illisibles (%2).",
    "Address %1: the configuration reply lacks fields or holds unreadable ones (%2)."};
const TTexts kNoFolder{"Trieu primer una carpeta de configuracions.",
    "Elija primero una carpeta de configuraciones.", "Choisissez d'abord un dossier de configurations.",
    "Choose a folder of configurations first."};
const TTexts kNoFile{"Adreça %1: no hi ha %2, no s'envia res.", "Dirección %1: no hay %2, no se envía nada.",
    "Adresse %1 : pas de %2, rien n'est envoyé.", "Address %1: there is no %2, nothing is sent."};
const TTexts kSending{"enviant...", "enviando...", "envoi...", "sending..."};
const TTexts kVerifying{"comprovant...", "comprobando...", "vérification...", "reading back..."};
const TTexts kReceiving{"rebent...", "recibiendo...", "réception...", "receiving..."};
const TTexts kVerified{"enviada i comprovada", "enviada y comprobada", "envoyée et vérifiée",
    "sent and read back"};
const TTexts kVerifyDiffers{"enviada, però es llegeix diferent: %1", "enviada, pero se lee distinta: %1",
    "envoyée, mais relue autrement : %1", "sent, but read back otherwise: %1"};
const TTexts kNotVerified{"enviada, sense comprovar: %1", "enviada, sin comprobar: %1",
    "envoyée, non vérifiée : %1", "sent, not read back: %1"};
const TTexts kNotSent{"no enviada: %1", "no enviada: %1", "non envoyée : %1", "not sent: %1"};
const TTexts kReceived{"desada a %1", "guardada en %1", "enregistrée dans %1", "written to %1"};
const TTexts kReceivedNew{
    "desada a %1 (línia i dígits de la configuració de la finestra: el visualitzador no els envia)",
    "guardada en %1 (línea y dígitos de la configuración de la ventana: el visualizador no los envía)",
    "enregistrée dans %1 (ligne et chiffres de la configuration de la fenêtre : l'afficheur ne les envoie pas)",
    "written to %1 (line and digits from the window's configuration: the display does not send them)"};
const TTexts kNotReceived{"no desada: %1", "no guardada: %1", "non enregistrée : %1", "not written: %1"};
const TTexts kIncompleteShort{"resposta incompleta", "respuesta incompleta", "réponse incomplète",
    "incomplete reply"};
const TTexts kStopped{"aturada", "detenida", "arrêtée", "stopped"};

TWords fill(const TTexts& texts, const TWords& argument)
{
    return wordsBy([&](TLanguage l) { return fillIn(texts.pick(l), {argument.pick(l)}); });
}

// The address a reply frame is signed with: '@', two digits, 'R'.
std::optional<std::uint8_t> replyAddress(const std::vector<std::uint8_t>& reply)
{
    if (reply.size() < 4 || reply[0] != '@' || !std::isdigit(reply[1]) || !std::isdigit(reply[2]) || reply[3] != 'R')
        return std::nullopt;
    return static_cast<std::uint8_t>((reply[1] - '0') * 10 + (reply[2] - '0'));
}

bool complete(const TParamsReplyContents& c)
{
    return c.missing().empty() && c.unreadable.empty();
}

std::string contentsProblem(const TParamsReplyContents& c)
{
    std::string out;
    for (const char* f : c.missing())
        out += std::string(out.empty() ? "" : ", ") + f;
    for (const TUnreadableField& u : c.unreadable)
        out += std::string(out.empty() ? "" : ", ") + u.field + " \"" + escapedControls(u.text) + "\"";
    return out;
}

} // namespace

TDisplayBus::TDisplayBus(QObject* parent) : TDisplayBus(makeSystemSerialBackend, parent) {}

TDisplayBus::TDisplayBus(std::function<std::unique_ptr<TSerialBackend>()> backend, QObject* parent)
    : QObject(parent), line_(std::make_unique<TDisplayLine>(std::move(backend)))
{
    resetToDefaults(lineConfig_);
    roundTimer_.setSingleShot(true);
    roundTimer_.setTimerType(Qt::PreciseTimer);
    connect(&roundTimer_, &QTimer::timeout, this, &TDisplayBus::startRound);
    // A bus is read all the time: the port stays open while the view holds it.
    line_->setCloseAfterExchange(false);
    line_->setLineSource([this]() -> const TDisplayConfig& { return lineConfig_; });
    // The line is quiet after a missed reply: the port may go back.
    connect(&line_->link(), &TDisplayLink::idle, this, &TDisplayBus::settle, Qt::QueuedConnection);
    connect(line_.get(), &TDisplayLine::lineLost, this, [this] {
        emit notice(wordsBy([](TLanguage l) { return deviceDisconnectedText(l); }));
    });
}

TDisplayBus::~TDisplayBus()
{
    // The sessions go before their line.
    rows_.clear();
    scanSessions_.clear();
}

void TDisplayBus::setLineSource(std::function<TDisplayConfig()> source, std::optional<std::string> device)
{
    source_ = std::move(source);
    line_->setLineSource([this]() -> const TDisplayConfig& { return lineConfig_; }, std::move(device));
}

void TDisplayBus::setReplyTimeout(int ms)
{
    line_->setReplyTimeout(ms);
}

TBusRow* TDisplayBus::findRow(std::uint8_t address)
{
    const auto it = std::ranges::find_if(rows_, [address](const auto& r) { return r->address == address; });
    return it == rows_.end() ? nullptr : it->get();
}

const TBusRow* TDisplayBus::row(std::uint8_t address) const
{
    return const_cast<TDisplayBus*>(this)->findRow(address);
}

bool TDisplayBus::commandsRunning() const
{
    return std::ranges::any_of(rows_, [](const auto& r) {
        return r->task == TRowTask::Sending || r->task == TRowTask::Verifying || r->task == TRowTask::Receiving;
    });
}

bool TDisplayBus::holdsLine() const
{
    return scanning_ || reading_ || commandsRunning() || line_->busy() || line_->link().portOpen();
}

bool TDisplayBus::refused()
{
    if (!mayRun_)
        return false;
    const TWords why = wordsBy(mayRun_);
    if (noWords(why))
        return false;
    emit notice(why);
    return true;
}

TDisplayBus::TScanned TDisplayBus::makeSession(std::uint8_t address)
{
    auto config = std::make_unique<TDisplayConfig>(lineConfig_);
    config->Address = address;
    auto session = std::make_unique<TDisplaySession>(*line_, *config);
    return {std::move(config), std::move(session)};
}

bool TDisplayBus::scan(std::uint8_t first, std::uint8_t last)
{
    if (scanning_) {
        emit notice(wordsOf(kScanRunning));
        return false;
    }
    if (refused())
        return false;
    if (source_)
        lineConfig_ = source_();
    reading_ = false;
    rows_.clear();
    scanSessions_.clear();
    first_ = std::min(first, last);
    last_ = std::max(first, last);
    asked_ = 0;
    scanning_ = true;
    for (int a = first_; a <= last_; ++a) {
        TScanned scanned = makeSession(static_cast<std::uint8_t>(a));
        TDisplaySession* s = scanned.second.get();
        const auto address = static_cast<std::uint8_t>(a);
        connect(s, &TDisplaySession::reading, this,
            [this, address](const TSessionReading& r) { onScanReading(address, r); });
        connect(s, &TDisplaySession::lateReply, this,
            [this, address](const TExchangeReport&, int afterMs) { noteLate(address, afterMs); });
        connect(s, &TDisplaySession::requestNotStarted, this,
            [this](TPendingRequest, bool held) { onNotStarted(held); });
        scanSessions_.push_back(std::move(scanned));
    }
    // Each address is asked as soon as the one before it has answered or
    // timed out: a late answer comes during a later address's exchange, is
    // set aside there by its address and told as late. The last one is
    // listened for after its time-out.
    line_->link().setAwaitLateReplies(false);
    // An answer that comes while the line listens after the last address is
    // a late one too, whoever sent it: heard until the line is quiet.
    lateTraffic_ = connect(&line_->link(), &TDisplayLink::traffic, this, [this](const TTrafficRecord& r) {
        if (r.note != TTrafficNote::Late)
            return;
        if (const auto from = replyAddress(r.bytes))
            noteLate(*from, r.latencyMs.value_or(0));
    });
    emit activityChanged();
    emit scanProgress(0, last_ - first_ + 1, 0);
    askNextAddress();
    return true;
}

void TDisplayBus::askNextAddress()
{
    if (!scanning_)
        return;
    const int total = last_ - first_ + 1;
    if (asked_ >= total) {
        endScan(false);
        return;
    }
    if (asked_ == total - 1)
        line_->link().setAwaitLateReplies(true);
    scanSessions_[static_cast<std::size_t>(asked_)].second->readValue();
}

void TDisplayBus::onScanReading(std::uint8_t address, const TSessionReading& r)
{
    noteSetAside(r.report);
    if (!scanning_ || first_ + asked_ != address)
        return;
    auto& scanned = scanSessions_[static_cast<std::size_t>(asked_)];
    if (!r.missed && scanned.second) {
        TBusRow& row = addRow(std::move(scanned));
        row.value = r.reading.value;
        row.relays = r.reading.relays;
        row.reading.answered = true;
        emit rowChanged(row.address);
    }
    ++asked_;
    emit scanProgress(asked_, last_ - first_ + 1, static_cast<int>(rows_.size()));
    QMetaObject::invokeMethod(this, &TDisplayBus::askNextAddress, Qt::QueuedConnection);
}

void TDisplayBus::cancelScan()
{
    if (!scanning_)
        return;
    const auto index = static_cast<std::size_t>(asked_);
    if (index < scanSessions_.size() && scanSessions_[index].second) {
        // Gives up the address under way.
        scanSessions_[index].second->pause();
        scanSessions_[index].second->resume();
    }
    endScan(true);
}

void TDisplayBus::endScan(bool cancelled)
{
    if (!scanning_)
        return;
    scanning_ = false;
    line_->link().setAwaitLateReplies(true);
    const std::string found = cfmt("%zu", rows_.size());
    TWords said = wordsOf(cancelled ? kScanCancelled : kScanDone, {found});
    std::string late;
    for (const auto& row : rows_)
        if (row->reading.lateMs >= 0)
            late += (late.empty() ? "" : ", ") + cfmt("%02d", row->address);
    if (!late.empty()) {
        const TWords lateWords = wordsOf(kLateFound, {late});
        for (TLanguage l : kLanguages)
            said.pick(l) += lateWords.pick(l);
    }
    emit notice(said);
    emit scanEnded(cancelled);
    // What was found is described, then read in turn.
    // Described first; the first round starts once every description has
    // ended. Not when the port is being given up.
    if (whenReleased_.empty()) {
        for (const auto& row : rows_)
            row->session->receiveConfiguration();
        reading_ = !rows_.empty();
    }
    emit activityChanged();
    settle();
}

TBusRow& TDisplayBus::addRow(TScanned scanned)
{
    auto row = std::make_unique<TBusRow>();
    row->address = scanned.first->Address;
    row->config = std::move(scanned.first);
    row->session = std::move(scanned.second);
    TDisplaySession* s = row->session.get();
    s->disconnect(this);
    const std::uint8_t address = row->address;
    connect(s, &TDisplaySession::reading, this, [this, address](const TSessionReading& r) {
        if (TBusRow* found = findRow(address))
            onReading(*found, r);
    });
    connect(s, &TDisplaySession::exchangeEnded, this, [this, address](const TExchangeReport& report, int) {
        if (TBusRow* found = findRow(address))
            onExchangeEnded(*found, report);
    });
    connect(s, &TDisplaySession::lateReply, this,
        [this, address](const TExchangeReport&, int afterMs) { noteLate(address, afterMs); });
    connect(s, &TDisplaySession::requestNotStarted, this, [this](TPendingRequest, bool held) { onNotStarted(held); });
    readFile(*row);
    const auto at = std::ranges::upper_bound(rows_, address, {}, [](const auto& r) { return r->address; });
    TBusRow& added = **rows_.insert(at, std::move(row));
    emit rowAdded(address);
    return added;
}

void TDisplayBus::noteSetAside(const TExchangeReport& report)
{
    for (const auto& reply : report.setAside) {
        const auto from = replyAddress(reply);
        if (!from)
            continue;
        // A display ahead of the one asked answered in another's name; one
        // already asked answered late.
        const bool ahead = scanning_ && *from >= first_ + asked_ && *from <= last_;
        if (ahead) {
            const std::vector<std::uint8_t> request = report.request;
            const std::string asked = request.size() >= 3 ? std::string(request.begin() + 1, request.begin() + 3) : "?";
            emit notice(wordsOf(kOtherAddress, {asked, cfmt("%02d", *from)}));
            continue;
        }
        noteLate(*from, 0);
    }
}

void TDisplayBus::noteLate(std::uint8_t address, int afterMs)
{
    if (TBusRow* row = findRow(address)) {
        row->reading.lateMs = afterMs;
        emit rowChanged(address);
        return;
    }
    if (address < first_ || address > last_)
        return;
    auto& scanned = scanSessions_[static_cast<std::size_t>(address - first_)];
    if (!scanned.second)
        return;
    // A display that answers, late: a row of its own, said as such.
    TBusRow& row = addRow(std::move(scanned));
    row.reading.lateMs = afterMs;
    emit notice(wordsOf(kAnsweredLate, {cfmt("%02d", address)}));
    emit rowChanged(address);
    if (!scanning_) {
        row.session->receiveConfiguration();
        emit activityChanged();
    }
}

void TDisplayBus::onReading(TBusRow& row, const TSessionReading& r)
{
    if (r.missed) {
        row.reading.missedInRow = r.missedInRow > 0 ? r.missedInRow : row.reading.missedInRow + 1;
    } else {
        row.value = r.reading.value;
        row.relays = r.reading.relays;
        row.reading.missedInRow = 0;
        row.reading.answered = true;
    }
    row.inRound = false;
    emit rowChanged(row.address);
    endRoundIfDone();
}

void TDisplayBus::onExchangeEnded(TBusRow& row, const TExchangeReport& report)
{
    noteSetAside(report);
    const bool replied = report.outcome == TExchangeOutcome::Reply;
    const TWords why = wordsBy([&](TLanguage l) { return exchangeNotice(report, l, false); });
    switch (report.kind) {
    case SendConfigRequest:
        if (row.task != TRowTask::Sending)
            break;
        if (replied) {
            row.task = TRowTask::Verifying;
            row.taskWords = wordsOf(kVerifying);
            row.session->receiveConfiguration();
            emit rowChanged(row.address);
            return;
        }
        finishTask(row, TRowTask::SendFailed, fill(kNotSent, why));
        break;
    case AnalogParamsRequest:
        if (replied)
            onParams(row, report);
        else if (row.task == TRowTask::Verifying)
            finishTask(row, TRowTask::VerifyFailed, fill(kNotVerified, why));
        else if (row.task == TRowTask::Receiving)
            finishTask(row, TRowTask::ReceiveFailed, fill(kNotReceived, why));
        break;
    default:
        break;
    }
    QMetaObject::invokeMethod(this, [this] {
        // Readings begin once the descriptions after a scan have ended.
        if (reading_ && !roundTimer_.isActive() && std::ranges::none_of(rows_, [](const auto& r) { return r->inRound; })
            && std::ranges::all_of(rows_, [](const auto& r) { return r->session->pendingKind() == NoRequest; }))
            startRound();
        settle();
    }, Qt::QueuedConnection);
}

void TDisplayBus::onParams(TBusRow& row, const TExchangeReport& report)
{
    // The session writes the reply into the row's configuration too, after this.
    TDisplayConfig got = *row.config;
    const TParamsReplyContents contents = parseAnalogParamsReply(report.reply, got);
    const bool whole = complete(contents);
    if (whole) {
        row.paramsReply = report.reply;
        row.paramsComplete = true;
    }
    const std::string problem = contentsProblem(contents);
    const std::string address = cfmt("%02d", row.address);
    if (!whole && row.task == TRowTask::None)
        emit notice(wordsOf(kIncomplete, {address, problem}));
    if (row.task == TRowTask::Verifying) {
        if (!whole) {
            finishTask(row, TRowTask::VerifyFailed, fill(kNotVerified, wordsOf(kIncompleteShort)));
        } else {
            const TWords differ = wordsBy([&](TLanguage l) {
                std::string out;
                for (const TBusDifference& d : configDifferences(*row.sent, got, l))
                    out += (out.empty() ? "" : "; ") + d.field + " " + d.display;
                return out;
            });
            if (noWords(differ))
                finishTask(row, TRowTask::Verified, wordsOf(kVerified));
            else
                finishTask(row, TRowTask::VerifyFailed, fill(kVerifyDiffers, differ));
        }
    } else if (row.task == TRowTask::Receiving) {
        if (!whole) {
            finishTask(row, TRowTask::ReceiveFailed, fill(kNotReceived, wordsOf(kIncompleteShort)));
        } else {
            // The display sends neither its line nor its digits: those of its
            // file stay, or those of the window's configuration for a new one.
            const bool known = row.file.has_value();
            TDisplayConfig file = known ? *row.file : lineConfig_;
            file.Address = row.address;
            parseAnalogParamsReply(report.reply, file);
            const std::string path = folderFile(row.address);
            const FileResult result = saveConfigFile(path, file);
            if (result.ok) {
                row.file = file;
                row.fileResult = result;
                finishTask(row, TRowTask::Received, wordsOf(known ? kReceived : kReceivedNew, {cfmt("%02d.dad", row.address)}));
            } else {
                finishTask(row, TRowTask::ReceiveFailed,
                    fill(kNotReceived, wordsBy([&](TLanguage l) { return describeFileError(path, result, l); })));
            }
        }
    }
    emit rowChanged(row.address);
}

void TDisplayBus::finishTask(TBusRow& row, TRowTask task, TWords words)
{
    row.task = task;
    row.taskWords = std::move(words);
    row.sent.reset();
    emit rowChanged(row.address);
    emit activityChanged();
}

void TDisplayBus::onNotStarted(bool lineHeld)
{
    // The port could not be opened: nothing goes on until asked again.
    const TWords why = lineHeld ? wordsBy([](TLanguage l) { return busHoldsLineText(l); })
                                : fill(kOpenFailed, wordsBy([this](TLanguage l) { return describeOpenFailure(line_->port(), l); }));
    const bool wasScanning = scanning_;
    scanning_ = false;
    reading_ = false;
    roundTimer_.stop();
    for (const auto& row : rows_)
        row->inRound = false;
    for (const auto& row : rows_)
        if (row->task == TRowTask::Sending || row->task == TRowTask::Verifying || row->task == TRowTask::Receiving)
            finishTask(*row, row->task == TRowTask::Receiving ? TRowTask::ReceiveFailed
                    : row->task == TRowTask::Sending         ? TRowTask::SendFailed
                                                             : TRowTask::VerifyFailed,
                fill(kNotSent, wordsOf(kStopped)));
    emit notice(why);
    if (wasScanning)
        emit scanEnded(true);
    emit activityChanged();
}

bool TDisplayBus::startReading()
{
    if (scanning_ || reading_ || rows_.empty())
        return false;
    if (refused())
        return false;
    reading_ = true;
    startRound();
    emit activityChanged();
    return reading_;
}

void TDisplayBus::startRound()
{
    // Every display not busy with a command is asked at once: the line
    // serves them in turn, back to back, at its own pace.
    roundTimer_.stop();
    if (!reading_ || scanning_)
        return;
    roundStarted_ = std::chrono::steady_clock::now();
    for (const auto& row : rows_) {
        row->inRound = row->session->pendingKind() == NoRequest && row->session->readValue();
    }
    endRoundIfDone();
}

void TDisplayBus::endRoundIfDone()
{
    if (!reading_ || scanning_ || roundTimer_.isActive())
        return;
    if (std::ranges::any_of(rows_, [](const auto& r) { return r->inRound; }))
        return;
    // The next round a period after this one began, or at once when the
    // round took longer: a small bus is not read faster than it needs.
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - roundStarted_).count();
    roundTimer_.start(static_cast<int>(std::max<long long>(0, readingPeriodMs_ - took)));
}

void TDisplayBus::stopReading()
{
    if (!reading_)
        return;
    reading_ = false;
    roundTimer_.stop();
    for (const auto& row : rows_) {
        row->inRound = false;
        if (row->session->pendingKind() == DisplayReadingRequest) {
            // Gives up the reading under way or waiting for its turn.
            row->session->pause();
            row->session->resume();
        }
    }
    emit activityChanged();
    settle();
}

void TDisplayBus::settle()
{
    if (!scanning_ && !line_->link().awaitingLateReply())
        disconnect(lateTraffic_);
    // Nothing more to ask and the line quiet: the port goes back.
    if (scanning_ || reading_ || commandsRunning() || line_->busy())
        return;
    if (line_->link().portOpen()) {
        line_->link().closePort();
        emit activityChanged();
    }
    for (auto then : std::exchange(whenReleased_, {}))
        then();
}

void TDisplayBus::release(std::function<void()> then)
{
    whenReleased_.push_back(std::move(then));
    cancelScan();
    stopReading();
    // The line may still listen for a late reply: it is given up once quiet.
    settle();
}

std::string TDisplayBus::folderFile(std::uint8_t address) const
{
    return folder_ + (!folder_.empty() && folder_.back() == '/' ? "" : "/") + cfmt("%02d.dad", address);
}

void TDisplayBus::setFolder(const std::string& folder)
{
    folder_ = folder;
    reloadFolder();
}

void TDisplayBus::reloadFolder()
{
    for (const auto& row : rows_) {
        readFile(*row);
        emit rowChanged(row->address);
    }
}

void TDisplayBus::readFile(TBusRow& row)
{
    row.file.reset();
    row.fileResult = {};
    if (folder_.empty())
        return;
    TDisplayConfig file;
    resetToDefaults(file);
    row.fileResult = loadConfigFile(folderFile(row.address), file);
    if (row.fileResult.ok)
        row.file = file;
}

TFileState TDisplayBus::fileState(const TBusRow& row) const
{
    if (folder_.empty())
        return TFileState::NoFolder;
    if (!row.file)
        return row.fileResult.error == ENOENT ? TFileState::NoFile : TFileState::Unreadable;
    if (!row.paramsComplete)
        return TFileState::NotRead;
    return differences(row, TLanguage::English).empty() ? TFileState::Matches : TFileState::Differs;
}

std::vector<TBusDifference> TDisplayBus::differences(const TBusRow& row, TLanguage language) const
{
    if (!row.file || !row.paramsComplete)
        return {};
    TDisplayConfig display = *row.file;
    parseAnalogParamsReply(row.paramsReply, display);
    return configDifferences(*row.file, display, language);
}

std::vector<TCsvRow> TDisplayBus::csvRows(TLanguage language) const
{
    std::vector<TCsvRow> out;
    for (const auto& row : rows_) {
        TCsvRow r;
        r.address = row->address;
        r.value = row->value;
        r.relays = row->relays;
        r.reading = row->reading;
        if (row->paramsComplete)
            r.summary = configSummary(*row->config,
                row->file ? std::optional<std::uint8_t>(row->file->DigitsIndex) : std::nullopt, language);
        r.file = fileState(*row);
        for (const TBusDifference& d : differences(*row, language))
            r.differences += (r.differences.empty() ? "" : "; ") + d.field + ": " + d.file + " / " + d.display;
        out.push_back(std::move(r));
    }
    return out;
}

bool TDisplayBus::startSend(TBusRow& row, const TDisplayConfig& config)
{
    TDisplayConfig out = config;
    out.Address = row.address;
    *row.config = out;
    row.sent = out;
    row.inRound = false;
    row.task = TRowTask::Sending;
    row.taskWords = wordsOf(kSending);
    emit rowChanged(row.address);
    return row.session->sendConfiguration();
}

bool TDisplayBus::mayCommand(bool withFolder)
{
    if (withFolder && folder_.empty()) {
        emit notice(wordsOf(kNoFolder));
        return false;
    }
    if (scanning_) {
        emit notice(wordsOf(kScanRunning));
        return false;
    }
    return !refused();
}

bool TDisplayBus::onRows(const std::vector<std::uint8_t>& addresses, const std::function<bool(TBusRow&)>& command)
{
    bool any = false;
    for (const std::uint8_t a : addresses)
        if (TBusRow* row = findRow(a))
            any = command(*row) || any;
    emit activityChanged();
    return any;
}

bool TDisplayBus::sendFiles(const std::vector<std::uint8_t>& addresses)
{
    return mayCommand(true) && onRows(addresses, [this](TBusRow& row) {
        readFile(row);
        if (!row.file) {
            emit notice(wordsOf(kNoFile, {cfmt("%02d", row.address), folderFile(row.address)}));
            return false;
        }
        return startSend(row, *row.file);
    });
}

bool TDisplayBus::sendConfiguration(const std::vector<std::uint8_t>& addresses, const TDisplayConfig& config)
{
    return mayCommand(false) && onRows(addresses, [&](TBusRow& row) { return startSend(row, config); });
}

bool TDisplayBus::receiveIntoFolder(const std::vector<std::uint8_t>& addresses)
{
    return mayCommand(true) && onRows(addresses, [this](TBusRow& row) {
        readFile(row);
        row.task = TRowTask::Receiving;
        row.inRound = false;
        row.taskWords = wordsOf(kReceiving);
        emit rowChanged(row.address);
        return row.session->receiveConfiguration();
    });
}
