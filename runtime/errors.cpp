// errors.cpp -- message texts of the runtime's exceptions, kept in one place.
#include "errors.h"

#include <cerrno>

namespace tarnwick {

std::string IoErrorMessage(int errorCode)
{
    switch (errorCode) {
    case errcode::kFileNotFound: return "Fichier introuvable";
    case errcode::kPathNotFound: return "Nom de fichier incorrect";
    case errcode::kTooManyOpenFiles: return "Trop de fichiers ouverts";
    case errcode::kAccessDenied: return "Accès au fichier refusé";
    case errcode::kDiskFull: return "Disque plein";
    default: return "Erreur E/S " + std::to_string(errorCode);
    }
}

EInOutError::EInOutError(int errorCode) : Exception(IoErrorMessage(errorCode)), errorCode_(errorCode) {}
EIntOverflow::EIntOverflow() : Exception("Débordement d'entier") {}
ERangeError::ERangeError() : Exception("Erreur de vérification d'étendue") {}
EFCreateError::EFCreateError(const std::string& path, int errorCode)
    : Exception("Impossible de créer le fichier " + path), errorCode_(errorCode)
{
}
EFOpenError::EFOpenError(const std::string& path, int errorCode)
    : Exception("Impossible d'ouvrir le fichier " + path), errorCode_(errorCode)
{
}
EReadError::EReadError() : Exception("Erreur de lecture du flux") {}
EWriteError::EWriteError() : Exception("Erreur d'écriture du flux") {}
EListError::EListError(std::int64_t index)
    : Exception("Index de liste hors limites (" + std::to_string(index) + ")")
{
}

namespace {
constexpr int kIoDeviceError = 1117;
}  // namespace

int ErrorCodeFromErrno(int err)
{
    switch (err) {
    case ENOENT: return errcode::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return errcode::kPathNotFound;
    case EMFILE:
    case ENFILE: return errcode::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY: return errcode::kAccessDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return errcode::kDiskFull;
    case EIO:
    case ESRCH:
    case EINTR:
    case ENETUNREACH:
        // errno values that share their number with a documented code would show its text;
        // they are reported as the device I/O error instead.
        return kIoDeviceError;
    default: return err;
    }
}

void RaiseOSError(int err) { throw EInOutError(ErrorCodeFromErrno(err)); }
void RaiseLastOSError() { RaiseOSError(errno); }

}  // namespace tarnwick
