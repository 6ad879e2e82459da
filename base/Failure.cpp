#include "base/Failure.h"

#include <cerrno>

#include "base/Texts.h"

namespace {

struct TErrorWords {
    int error;
    TTexts words;
};

const TErrorWords kErrorWords[] = {
    {EACCES, {"permís denegat", "permiso denegado", "permission refusée", "permission denied"}},
    {EPERM, {"operació no permesa", "operación no permitida", "opération non permise", "operation not permitted"}},
    {ENOENT, {"l'arxiu o la carpeta no existeix", "el archivo o la carpeta no existe", "fichier ou dossier inexistant",
              "no such file or directory"}},
    {ENOTDIR, {"una part del camí no és una carpeta", "una parte de la ruta no es una carpeta",
               "une partie du chemin n'est pas un dossier", "a part of the path is not a folder"}},
    {EISDIR, {"és una carpeta", "es una carpeta", "c'est un dossier", "is a directory"}},
    {EROFS, {"sistema d'arxius només de lectura", "sistema de archivos de solo lectura",
             "système de fichiers en lecture seule", "read-only file system"}},
    {ENOSPC, {"no queda espai al disc", "no queda espacio en el disco", "plus d'espace sur le disque",
              "no space left on the disk"}},
    {EDQUOT, {"s'ha superat la quota de disc", "cuota de disco superada", "quota de disque dépassé",
              "disk quota exceeded"}},
    {EFBIG, {"l'arxiu és massa gran", "el archivo es demasiado grande", "fichier trop volumineux", "file too large"}},
    {ENAMETOOLONG, {"nom massa llarg", "nombre demasiado largo", "nom trop long", "name too long"}},
    {ELOOP, {"massa enllaços simbòlics", "demasiados enlaces simbólicos", "trop de liens symboliques",
             "too many symbolic links"}},
    {EIO, {"error d'entrada/sortida", "error de entrada/salida", "erreur d'entrée/sortie", "input/output error"}},
    {EMFILE, {"massa arxius oberts", "demasiados archivos abiertos", "trop de fichiers ouverts", "too many open files"}},
    {ENFILE, {"massa arxius oberts", "demasiados archivos abiertos", "trop de fichiers ouverts", "too many open files"}},
    {ETXTBSY, {"l'arxiu és en ús per un programa", "el archivo está en uso por un programa",
               "le fichier est utilisé par un programme", "the file is in use by a program"}},
    {EBUSY, {"recurs ocupat", "recurso ocupado", "ressource occupée", "resource busy"}},
    {EPIPE, {"canonada trencada", "tubería rota", "tube brisé", "broken pipe"}},
    {EBADF, {"descriptor d'arxiu incorrecte", "descriptor de archivo incorrecto", "descripteur de fichier incorrect",
             "bad file descriptor"}},
    {ENOMEM, {"memòria insuficient", "memoria insuficiente", "mémoire insuffisante", "out of memory"}},
    {EADDRINUSE, {"l'adreça ja és en ús", "la dirección ya está en uso", "adresse déjà utilisée", "address already in use"}},
    {EADDRNOTAVAIL, {"l'adreça no és d'aquest ordinador", "la dirección no es de este ordenador",
                     "l'adresse n'est pas celle de cet ordinateur", "the address is not this computer's"}},
    {ECONNREFUSED, {"connexió refusada", "conexión rechazada", "connexion refusée", "connection refused"}},
    {ETIMEDOUT, {"temps d'espera esgotat", "tiempo de espera agotado", "délai dépassé", "timed out"}},
    {EHOSTUNREACH, {"no hi ha cap camí fins a l'ordinador", "no hay ninguna ruta hasta el ordenador",
                    "aucune route vers l'ordinateur", "no route to the host"}},
    {ENETUNREACH, {"la xarxa no és accessible", "la red no es accesible", "réseau inaccessible", "network unreachable"}},
};

const TTexts kOtherError{"error del sistema %1", "error del sistema %1", "erreur système %1", "system error %1"};
const TTexts kNotRegular{"no és un arxiu normal", "no es un archivo normal", "ce n'est pas un fichier ordinaire",
                         "not a regular file"};
const TTexts kDevice{"és un dispositiu, no un arxiu normal", "es un dispositivo, no un archivo normal",
                     "c'est un périphérique, pas un fichier ordinaire", "a device, not a regular file"};
const TTexts kFifo{"és una canonada (FIFO), no un arxiu normal", "es una tubería (FIFO), no un archivo normal",
                   "c'est un tube (FIFO), pas un fichier ordinaire", "a pipe (FIFO), not a regular file"};
const TTexts kSocket{"és un sòcol, no un arxiu normal", "es un socket, no un archivo normal",
                     "c'est une socket, pas un fichier ordinaire", "a socket, not a regular file"};
const TTexts kShort{"l'arxiu és més curt que una configuració (%1 bytes); no s'ha carregat res",
                    "el archivo es más corto que una configuración (%1 bytes); no se ha cargado nada",
                    "le fichier est plus court qu'une configuration (%1 octets) ; rien n'a été chargé",
                    "the file is shorter than a configuration (%1 bytes); nothing was loaded"};
const TTexts kSentence{"%1: %2.", "%1: %2.", "%1 : %2.", "%1: %2."};

} // namespace

std::string errorWords(int error, TLanguage language)
{
    for (const TErrorWords& row : kErrorWords)
        if (row.error == error)
            return row.words.pick(language);
    return fillIn(kOtherError.pick(language), {std::to_string(error)});
}

std::string notRegularWords(TLanguage language)
{
    return kNotRegular.pick(language);
}

std::string FileResult::words(TLanguage language) const
{
    if (failedStep == TFileStep::Short)
        return fillIn(kShort.pick(language), {std::to_string(needed)});
    if (failedStep == TFileStep::NotRegular) {
        switch (kind) {
        case TFileKind::Device: return kDevice.pick(language);
        case TFileKind::Fifo: return kFifo.pick(language);
        case TFileKind::Socket: return kSocket.pick(language);
        case TFileKind::Regular:
        case TFileKind::Folder: break;
        }
    }
    return errorWords(error, language);
}

std::string describeFileError(const std::string& path, const FileResult& result, TLanguage language)
{
    return fillIn(kSentence.pick(language), {path, result.words(language)});
}
