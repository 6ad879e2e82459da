#include "serial/Zcomm.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/Failure.h"
#include "base/Formats.h"
#include "base/Texts.h"
#include "serial/PortMap.h"

namespace {
constexpr int kWriteWaitMs = 2000;
}

TZComm::TZComm(QObject* owner) : TZComm(owner, makeSystemSerialBackend) {}

TZComm::TZComm(QObject* owner, BackendFactory factory) : QObject(owner), factory_(std::move(factory)) {}

TZComm::~TZComm()
{
    State = 1;
    releaseDevice();
}

TPortSettings TZComm::portSettings() const
{
    TPortSettings s;
    s.BaudRate = BaudRate;
    s.Parity = Parity;
    s.DataBits = DataBits;
    s.StopBits = StopBits;
    s.EnableParity = EnableParity;
    s.CTSFlowCtl = CTSFlowCtl;
    s.DSRFlowCtl = DSRFlowCtl;
    s.DSRSensitive = DSRSensitive;
    s.TXResume = TXResume;
    s.XOuputFlowCtl = XOuputFlowCtl;
    s.XInputFlowCtl = XInputFlowCtl;
    s.ErrorReplace = ErrorReplace;
    s.DiscardNULL = DiscardNULL;
    s.AbortOnError = AbortOnError;
    s.XOnChar = XOnChar;
    s.XOffChar = XOffChar;
    s.XOnLimit = XOnLimit;
    s.XOffLimit = XOffLimit;
    return s;
}

int TZComm::OpenConnection()
{
    if (!CheckIDE())
        return 0;
    // A connection still open is closed first, so a failed open never
    // strands a device that nobody could close any more.
    CloseConnection();
    openFailure_ = TOpenFailure{};
    openFailure_.Path = resolvePortPath(Port);
    if (openFailure_.Path.empty()) {
        openFailure_.Error = ENOENT;
        return 0;
    }
    auto device = factory_();
    if (const int err = device->open(openFailure_.Path)) {
        openFailure_.Error = err;
        return 0;
    }
    device_ = std::move(device);
    // The queue sizes have no equivalent: the tty layer sizes its own buffers.
    SetTimeouts();
    if (!SetConnection()) {
        releaseDevice();
        return 0;
    }
    // Bytes that reached the device before this open belong to nobody's
    // request: a virtual port keeps them while closed. Output held by an XOFF
    // from an earlier session must not hold this one.
    device_->purge(PURGE_RXCLEAR);
    device_->escape(SETXON);
    Connected = 1;
    ++connection_;
    if (!waiter_.attach(*device_, connection_)) {
        openFailure_.Error = EAGAIN;
        Connected = 0;
        releaseDevice();
        return 0;
    }
    // A device without modem lines (a pseudo-terminal) still opens.
    SetDTR();
    openFailure_ = TOpenFailure{};
    return 1;
}

int TZComm::SetConnection()
{
    if (!device_)
        return 0;
    TTermiosRefusal refusal{};
    const int err = device_->applySettings(portSettings(), refusal);
    if (err == 0)
        return 1;
    openFailure_.Error = err;
    openFailure_.SettingsRejected = true;
    openFailure_.Refusal = refusal;
    return 0;
}

int TZComm::SetFlowCtl(int on)
{
    return device_ && device_->setSoftwareFlowControl(on & 1) == 0 ? 1 : 0;
}

void TZComm::releaseDevice()
{
    waiter_.detach();
    if (device_)
        device_->close();
    device_.reset();
}

int TZComm::CloseConnection()
{
    Connected = 0;
    if (!device_)
        return 1;
    // The thread has left its wait before the descriptor goes.
    waiter_.detach();
    ClearDTR();
    PurgeCommPort(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    releaseDevice();
    return 1;
}

// Linux has no per-device time-outs: reads never wait and a write waits at
// most 2000 ms for the driver. The values are kept so GetTimeouts reads them back.
int TZComm::SetTimeouts()
{
    if (!device_)
        return 0;
    deviceTimeouts_ = {TimeoutReadInterval, TimeoutReadMultiplier, TimeoutReadConstant,
                       TimeoutWriteMultiplier, TimeoutWriteConstant};
    return 1;
}

int TZComm::GetTimeouts()
{
    if (!device_)
        return 0;
    TimeoutReadInterval = deviceTimeouts_.ReadInterval;
    TimeoutReadMultiplier = deviceTimeouts_.ReadMultiplier;
    TimeoutReadConstant = deviceTimeouts_.ReadConstant;
    TimeoutWriteMultiplier = deviceTimeouts_.WriteMultiplier;
    TimeoutWriteConstant = deviceTimeouts_.WriteConstant;
    return 1;
}

long TZComm::ReadComm(unsigned char* buf, long count)
{
    if (!device_)
        return 0;
    // Told through the event queue, so that no handler (nor the message box
    // it may show) ever runs inside a read.
    if (const unsigned errors = device_->takeLineErrors(); errors != 0)
        postCommMessage(this, {connection_, TCommNote::LineErrors, errors});
    const long queued = device_->queuedIn();
    if (count <= 0 || queued <= 0)
        return 0;
    const long n = device_->read(buf, std::min(count, queued));
    return n > 0 ? n : 0;
}

// The bytes go to the driver in one call, with one 2000 ms wait in all for
// room: on a stalled line the window is not frozen for 2000 ms per byte.
int TZComm::WriteComm(const unsigned char* buf, long len)
{
    if (len <= 0)
        return 1;
    return device_ && device_->write(buf, len, kWriteWaitMs) == len ? 1 : 0;
}

int TZComm::WriteCommByte(unsigned char c)
{
    return device_ && device_->write(&c, 1, kWriteWaitMs) == 1 ? 1 : 0;
}

void TZComm::SetText(const std::string& s)
{
    WriteComm(reinterpret_cast<const unsigned char*>(s.data()), static_cast<long>(s.size()));
}

std::string TZComm::GetText()
{
    if (MaxReadLength <= 0)
        return {};
    std::vector<unsigned char> block(static_cast<size_t>(MaxReadLength) + 1, 0);
    const long n = ReadComm(block.data(), MaxReadLength);
    if (n < 1)
        return {};
    lastText_ = std::string(reinterpret_cast<const char*>(block.data()));
    return lastText_;
}

int TZComm::EscapeComm(unsigned long function) { return device_ && device_->escape(function) == 0 ? 1 : 0; }
int TZComm::SetDTR() { return EscapeComm(SETDTR); }
int TZComm::ClearDTR() { return EscapeComm(CLRDTR); }
int TZComm::SetRTS() { return EscapeComm(SETRTS); }
int TZComm::ClearRTS() { return EscapeComm(CLRRTS); }

int TZComm::PurgeCommPort(unsigned long flags) { return device_ && device_->purge(flags) == 0 ? 1 : 0; }

unsigned long TZComm::GetQCountIn()
{
    if (!device_)
        return 0;
    device_->takeLineErrors();
    const long n = device_->queuedIn();
    return n > 0 ? static_cast<unsigned long>(n) : 0;
}

unsigned long TZComm::GetQCountOut()
{
    if (!device_)
        return 0;
    device_->takeLineErrors();
    const long n = device_->queuedOut();
    return n > 0 ? static_cast<unsigned long>(n) : 0;
}

unsigned long TZComm::GetTransmissionStatus() { return device_ ? device_->takeLineErrors() : 0; }

int TZComm::MessageCOMM(const TCommMessage& message)
{
    if (message.Note == TCommNote::LineErrors) {
        if (OnErrorOccurred)
            OnErrorOccurred(this, static_cast<int>(message.Errors), "Read Error");
        return 1;
    }
    if (Connected == 0 || message.Connection != connection_)
        return 0;
    if (message.Note == TCommNote::LineLost) {
        // The wait thread has already ended; the device stays held until
        // CloseConnection so the owner sees one consistent state.
        if (OnLineLost)
            OnLineLost(this);
        return 1;
    }
    if (OnDataAvailable)
        OnDataAvailable(this);
    return 1;
}

bool TZComm::event(QEvent* e)
{
    commEventReceived(e);
    if (e->type() == TCommEvent::eventType()) {
        MessageCOMM(static_cast<TCommEvent*>(e)->Message);
        return true;
    }
    return QObject::event(e);
}

namespace {

// What a device, a process or the group database tells may hold anything:
// only printable ASCII is kept.
std::string printableOnly(const std::string& s, std::size_t max = 80)
{
    std::string out;
    for (unsigned char c : s.substr(0, max))
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    return out;
}

std::string userName(uid_t uid)
{
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found)
        return printableOnly(found->pw_name);
    return cfmt("%u", static_cast<unsigned>(uid));
}

std::string groupName(gid_t gid)
{
    std::vector<char> buf(65536);
    group g{};
    group* found = nullptr;
    if (getgrgid_r(gid, &g, buf.data(), buf.size(), &found) == 0 && found)
        return printableOnly(found->gr_name);
    return cfmt("%u", static_cast<unsigned>(gid));
}

std::optional<gid_t> groupId(const char* name)
{
    std::vector<char> buf(65536);
    group g{};
    group* found = nullptr;
    if (getgrnam_r(name, &g, buf.data(), buf.size(), &found) == 0 && found)
        return found->gr_gid;
    return std::nullopt;
}

// Whether the group database makes `uid` a member of `gid`, whatever this session holds.
bool memberByDatabase(uid_t uid, gid_t gid)
{
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) != 0 || !found)
        return false;
    if (found->pw_gid == gid)
        return true;
    int n = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &n) < 0) {
        groups.resize(static_cast<std::size_t>(n));
        if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &n) < 0)
            return false;
    }
    groups.resize(static_cast<std::size_t>(n));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

bool memberInSession(gid_t gid)
{
    if (getegid() == gid)
        return true;
    const int n = getgroups(0, nullptr);
    if (n <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

std::string modeText(mode_t mode)
{
    std::string s = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : S_ISREG(mode) ? "-" : "?";
    const char* rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        s += (mode & (0400 >> i)) ? rwx[i] : '-';
    return s;
}

// The group serial devices belong to on Debian.
constexpr const char* kSerialGroup = "dialout";

const TTexts kNoGroupAccess{"%1 no pot obrir %2: el seu mode %3 no dona lectura i escriptura al grup %4, així que "
                            "entrar al grup no hi ajuda.",
    "%1 no puede abrir %2: su modo %3 no da lectura y escritura al grupo %4, así que entrar en el grupo no sirve.",
    "%1 ne peut pas ouvrir %2 : son mode %3 ne donne pas la lecture et l'écriture au groupe %4, entrer dans le "
    "groupe n'y change donc rien.",
    "%1 may not open %2: its mode %3 gives the group %4 no read and write access, so joining the group does not "
    "help."};
const TTexts kChmod{"Ara: \"sudo chmod 660 %1\" (dura fins que es torni a connectar); per sempre: una regla udev amb "
                    "MODE=\"0660\".",
    "Ahora: \"sudo chmod 660 %1\" (dura hasta que se vuelva a conectar); para siempre: una regla udev con "
    "MODE=\"0660\".",
    "Tout de suite : \"sudo chmod 660 %1\" (jusqu'au prochain branchement) ; pour de bon : une règle udev avec "
    "MODE=\"0660\".",
    "For now: \"sudo chmod 660 %1\" (until it is plugged in again); for good: a udev rule with MODE=\"0660\"."};
const TTexts kRootGroup{"%1 no pot obrir %2 (%3): pertany al grup root, i cap usuari no hauria d'entrar al grup root.",
    "%1 no puede abrir %2 (%3): pertenece al grupo root, y ningún usuario debería entrar en el grupo root.",
    "%1 ne peut pas ouvrir %2 (%3) : il appartient au groupe root, et aucun utilisateur ne devrait entrer dans le "
    "groupe root.",
    "%1 may not open %2 (%3): it belongs to the group root, which no user should join."};
const TTexts kChgrp{"Ara: \"sudo chgrp %2 %1 && sudo chmod 660 %1\" (dura fins que es torni a connectar); per sempre: "
                    "una regla udev amb GROUP=\"%2\", MODE=\"0660\".",
    "Ahora: \"sudo chgrp %2 %1 && sudo chmod 660 %1\" (dura hasta que se vuelva a conectar); para siempre: una regla "
    "udev con GROUP=\"%2\", MODE=\"0660\".",
    "Tout de suite : \"sudo chgrp %2 %1 && sudo chmod 660 %1\" (jusqu'au prochain branchement) ; pour de bon : une "
    "règle udev avec GROUP=\"%2\", MODE=\"0660\".",
    "For now: \"sudo chgrp %2 %1 && sudo chmod 660 %1\" (until it is plugged in again); for good: a udev rule with "
    "GROUP=\"%2\", MODE=\"0660\"."};
const TTexts kSessionPredates{"%1 és membre del grup %2, però aquesta sessió va començar abans: la pertinença compta "
                              "a partir del proper inici de sessió.",
    "%1 es miembro del grupo %2, pero esta sesión empezó antes: la pertenencia cuenta a partir del próximo inicio de "
    "sesión.",
    "%1 est membre du groupe %2, mais cette session a commencé avant : l'appartenance compte à partir de la "
    "prochaine connexion.",
    "%1 is a member of the group %2, but this session began before that: the membership counts from the next "
    "login."};
const TTexts kLogInAgain{"Tanqueu la sessió i torneu-la a iniciar (o reinicieu l'ordinador).",
    "Cierre la sesión y vuelva a iniciarla (o reinicie el ordenador).",
    "Fermez la session et rouvrez-la (ou redémarrez l'ordinateur).", "Log out and in again (or restart the computer)."};
const TTexts kNotMember{"%1 no pot obrir %2: pertany al grup %3 i %1 no n'és membre.",
    "%1 no puede abrir %2: pertenece al grupo %3 y %1 no es miembro.",
    "%1 ne peut pas ouvrir %2 : il appartient au groupe %3 et %1 n'en est pas membre.",
    "%1 may not open %2: it belongs to the group %3 and %1 is not a member."};
const TTexts kUsermod{"Executeu \"sudo usermod -aG %1 %2\" i torneu a iniciar la sessió.",
    "Ejecute \"sudo usermod -aG %1 %2\" y vuelva a iniciar la sesión.",
    "Lancez \"sudo usermod -aG %1 %2\", puis rouvrez la session.",
    "Run \"sudo usermod -aG %1 %2\", then log out and in again."};
const TTexts kNoPermission{"No teniu permís per obrir %1.", "No tiene permiso para abrir %1.",
    "Vous n'avez pas le droit d'ouvrir %1.", "You may not open %1."};
const TTexts kOwnTerminal{"%1 és el terminal on s'executa aquest programa, no una línia sèrie: no s'hi toca res.",
    "%1 es el terminal donde se ejecuta este programa, no una línea serie: no se toca nada.",
    "%1 est le terminal où tourne ce programme, pas une ligne série : rien n'y est changé.",
    "%1 is the terminal this program runs in, not a serial line: nothing of it is changed."};
const TTexts kMissingPath{"%1 no existeix. Connecteu l'adaptador o indiqueu un dispositiu present.",
    "%1 no existe. Conecte el adaptador o indique un dispositivo presente.",
    "%1 n'existe pas. Branchez l'adaptateur ou indiquez un périphérique présent.",
    "%1 does not exist. Plug the adapter in, or name a device that is present."};

// Joining `group`: what it takes, from where this user stands.
std::string joinAdvice(uid_t uid, gid_t gid, const std::string& user, const std::string& group, TLanguage language)
{
    if (memberInSession(gid))
        return {};
    if (memberByDatabase(uid, gid))
        return fillIn(kSessionPredates.pick(language), {user, group}) + " " + kLogInAgain.pick(language);
    return fillIn(kUsermod.pick(language), {group, user});
}

const TTexts kNoDeviceSet{"No hi ha cap dispositiu sèrie assignat al port \"%1\".",
    "No hay ningún dispositivo serie asignado al puerto \"%1\".",
    "Aucun périphérique série n'est attribué au port \"%1\".",
    "No serial device is set for port \"%1\"."};
const TTexts kSettingsRefused{"%1 no accepta la configuració de la línia: %2.",
    "%1 no acepta la configuración de la línea: %2.",
    "%1 n'accepte pas les réglages de la ligne : %2.",
    "%1 does not accept the line settings: %2."};
const TTexts kRefusals[] = {
    {"no manté la velocitat, la paritat, els bits de dades o de stop demanats",
        "no mantiene la velocidad, la paridad, los bits de datos o de stop pedidos",
        "il ne garde pas la vitesse, la parité, les bits de données ou de stop demandés",
        "it does not keep the speed, parity, data bits or stop bits asked for"},
    {"aquesta velocitat no està disponible", "esta velocidad no está disponible",
        "cette vitesse n'est pas disponible", "this line speed is not available"},
    {"4 bits de dades no estan disponibles", "4 bits de datos no están disponibles",
        "4 bits de données ne sont pas disponibles", "4 data bits are not available"},
    {"1,5 bits de stop no estan disponibles", "1,5 bits de stop no están disponibles",
        "1,5 bits de stop ne sont pas disponibles", "1.5 stop bits are not available"},
    {"aquesta paritat no està disponible", "esta paridad no está disponible",
        "cette parité n'est pas disponible", "this parity is not available"},
};
const TTexts kMissing{"%1 no existeix. Connecteu l'adaptador o trieu el dispositiu d'aquest port COM a la "
                      "configuració de la línia sèrie.",
    "%1 no existe. Conecte el adaptador o elija el dispositivo de este puerto COM en la configuración de la "
    "línea serie.",
    "%1 n'existe pas. Branchez l'adaptateur ou choisissez le périphérique de ce port COM dans les réglages de "
    "la ligne série.",
    "%1 does not exist. Plug the adapter in, or choose the device of this COM port in the serial line settings."};
const TTexts kNoHardware{"%1 existeix, però no hi ha cap dispositiu al darrere (adaptador desconnectat o port "
                         "sense maquinari).",
    "%1 existe, pero no hay ningún dispositivo detrás (adaptador desconectado o puerto sin hardware).",
    "%1 existe, mais aucun périphérique ne se trouve derrière (adaptateur débranché ou port sans matériel).",
    "%1 exists, but no device is behind it (adapter unplugged, or a port without hardware)."};
const TTexts kBusy{"%1 l'està fent servir un altre programa.", "%1 está en uso por otro programa.",
    "%1 est utilisé par un autre programme.", "%1 is in use by another program."};
const TTexts kNotSerial{"%1 no és un dispositiu sèrie.", "%1 no es un dispositivo serie.",
    "%1 n'est pas un périphérique série.", "%1 is not a serial device."};
const TTexts kNoAnswer{"%1 no respon; desconnecteu l'adaptador i torneu-lo a connectar.",
    "%1 no responde; desconecte el adaptador y vuelva a conectarlo.",
    "%1 ne répond pas ; débranchez l'adaptateur et rebranchez-le.",
    "%1 does not answer; unplug the adapter and plug it in again."};
const TTexts kIsFolder{"%1 és una carpeta, no un dispositiu sèrie.", "%1 es una carpeta, no un dispositivo serie.",
    "%1 est un dossier, pas un périphérique série.", "%1 is a folder, not a serial device."};
const TTexts kTooMany{"No es pot obrir %1: el programa o el sistema té massa arxius oberts.",
    "No se puede abrir %1: el programa o el sistema tiene demasiados archivos abiertos.",
    "Impossible d'ouvrir %1 : le programme ou le système a trop de fichiers ouverts.",
    "%1 cannot be opened: the program or the system has too many files open."};
const TTexts kNameTooLong{"El nom %1 és massa llarg.", "El nombre %1 es demasiado largo.",
    "Le nom %1 est trop long.", "The name %1 is too long."};
const TTexts kNoThread{"No s'ha pogut obrir %1: el sistema no té recursos per a un fil més.",
    "No se ha podido abrir %1: el sistema no tiene recursos para un hilo más.",
    "Impossible d'ouvrir %1 : le système n'a pas les ressources d'un fil de plus.",
    "%1 could not be opened: the system has no resources for one more thread."};
const TTexts kOther{"No s'ha pogut obrir %1: %2.", "No se ha podido abrir %1: %2.", "Impossible d'ouvrir %1 : %2.",
    "%1 could not be opened: %2."};

int refusalRow(TTermiosRefusal r)
{
    switch (r) {
    case TTermiosRefusal::None: return 0;
    case TTermiosRefusal::BaudRate: return 1;
    case TTermiosRefusal::DataBits: return 2;
    case TTermiosRefusal::StopBits: return 3;
    case TTermiosRefusal::Parity: return 4;
    }
    return 0;
}

} // namespace

std::string describeOpenFailure(const TZComm& port, TLanguage language)
{
    const TOpenFailure& f = port.lastOpenFailure();
    if (f.Error == 0)
        return {};
    const std::string& path = f.Path;
    auto say = [language](const TTexts& t, std::initializer_list<std::string> args) {
        return fillIn(t.pick(language), args);
    };
    if (path.empty())
        return say(kNoDeviceSet, {port.Port});
    if (f.SettingsRejected)
        return say(kSettingsRefused, {path, kRefusals[refusalRow(f.Refusal)].pick(language)});
    switch (f.Error) {
    case kControllingTerminal:
        return say(kOwnTerminal, {path});
    case ENOENT:
        // A path given in place of a COM name has no serial line settings to choose it in.
        return say(comNumber(port.Port) ? kMissing : kMissingPath, {path});
    case ENODEV:
    case ENXIO:
        return say(kNoHardware, {path});
    case EACCES:
    case EPERM: {
        const std::optional<TDeviceAccess> access = deviceAccess(path, language);
        if (!access || access->allowed || access->advice.empty())
            return say(kNoPermission, {path});
        return access->finding + " " + access->advice;
    }
    case EBUSY:
        return say(kBusy, {path});
    case ENOTTY:
        return say(kNotSerial, {path});
    case EIO:
        return say(kNoAnswer, {path});
    case EISDIR:
        return say(kIsFolder, {path});
    case EMFILE:
    case ENFILE:
        return say(kTooMany, {path});
    case ENAMETOOLONG:
        return say(kNameTooLong, {path});
    case EAGAIN:
        return say(kNoThread, {path});
    default:
        return say(kOther, {path, errorWords(f.Error, language)});
    }
}

std::optional<TDeviceAccess> deviceAccess(const std::string& path, TLanguage language)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    const uid_t uid = geteuid();
    TDeviceAccess a;
    a.user = userName(uid);
    a.owner = userName(st.st_uid);
    a.group = groupName(st.st_gid);
    a.mode = modeText(st.st_mode);
    a.allowed = ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    if (a.allowed)
        return a;
    const std::string shown = printableOnly(path, 256);
    if (st.st_gid == 0) {
        const gid_t serial = groupId(kSerialGroup).value_or(0);
        a.finding = fillIn(kRootGroup.pick(language), {a.user, shown, a.mode});
        a.advice = fillIn(kChgrp.pick(language), {shown, kSerialGroup});
        const std::string join = serial != 0 ? joinAdvice(uid, serial, a.user, kSerialGroup, language) : std::string();
        if (!join.empty())
            a.advice += " " + join;
    } else if ((st.st_mode & 060) != 060) {
        a.finding = fillIn(kNoGroupAccess.pick(language), {a.user, shown, a.mode, a.group});
        a.advice = fillIn(kChmod.pick(language), {shown});
        if (const std::string join = joinAdvice(uid, st.st_gid, a.user, a.group, language); !join.empty())
            a.advice += " " + join;
    } else if (memberInSession(st.st_gid)) {
        // Something other than the mode bits refuses it (an access list, a security module).
        a.finding = fillIn(kNoPermission.pick(language), {shown});
    } else if (memberByDatabase(uid, st.st_gid)) {
        a.finding = fillIn(kSessionPredates.pick(language), {a.user, a.group});
        a.advice = kLogInAgain.pick(language);
    } else {
        a.finding = fillIn(kNotMember.pick(language), {a.user, shown, a.group});
        a.advice = fillIn(kUsermod.pick(language), {a.group, a.user});
    }
    return a;
}
