#include "TokenScanner.h"

#include <openssl/crypto.h>
#include <p11-kit/p11-kit.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct ReleaseModules {
  void operator()(CK_FUNCTION_LIST** modules) const {
    p11_kit_modules_finalize_and_release(modules);
  }
};
struct ReleaseModule {
  void operator()(CK_FUNCTION_LIST* module) const { p11_kit_module_release(module); }
};
struct FinalizeModule {
  void operator()(CK_FUNCTION_LIST* module) const { p11_kit_module_finalize(module); }
};

std::runtime_error failure(const std::string& message) { return std::runtime_error(message); }

// A read cut short: what was read whole before it may still be recorded.
struct ReadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Throws the ReadError of `result`, unless it is CKR_OK, while reading `token`.
void check(CK_RV result, const std::string& token) {
  if (result == CKR_DEVICE_REMOVED || result == CKR_TOKEN_NOT_PRESENT ||
      result == CKR_SESSION_CLOSED || result == CKR_SESSION_HANDLE_INVALID ||
      result == CKR_DEVICE_ERROR) {
    throw ReadError("the card of token '" + token + "' was removed during the read");
  }
  if (result != CKR_OK) {
    throw ReadError("cannot read token '" + token + "': " + p11_kit_strerror(result));
  }
}

// What p11-kit last said went wrong.
std::string lastMessage() {
  const char* message = p11_kit_message();
  return message != nullptr ? message : "no reason given";
}

std::string fromPadded(const CK_UTF8CHAR* text, std::size_t size) {
  std::string trimmed(reinterpret_cast<const char*>(text), size);
  trimmed.erase(trimmed.find_last_not_of(' ') + 1);
  return trimmed;
}

// Logs in to the token of `session` with a PIN asked for once: on the
// terminal without echo, or one line of standard input.
void logIn(CK_FUNCTION_LIST* module, CK_SESSION_HANDLE session, const std::string& token) {
  termios saved{};
  const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  const auto restore = [](const termios* state) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, state);
    std::cerr << '\n';
  };
  std::unique_ptr<const termios, decltype(restore)> echo(terminal ? &saved : nullptr, restore);
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::cerr << "PIN of token '" << token << "': " << std::flush;
  }
  std::string pin;
  pin.reserve(256);  // no copies left behind by growing
  std::getline(std::cin, pin);
  echo.reset();
  if (pin.empty()) {
    throw failure("no PIN given for token '" + token + "'");
  }
  const CK_RV result =
      module->C_Login(session, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()), pin.size());
  OPENSSL_cleanse(pin.data(), pin.size());
  if (result != CKR_OK && result != CKR_USER_ALREADY_LOGGED_IN) {
    throw failure("cannot log in to token '" + token + "': " + p11_kit_strerror(result) +
                  " (not tried again: a card locks after a few wrong PINs)");
  }
}

// The value of the attribute `type` of `object` of `token`; empty when it has
// none.
std::string attribute(CK_FUNCTION_LIST* module, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                      CK_ATTRIBUTE_TYPE type, const std::string& token) {
  CK_ATTRIBUTE asked{type, nullptr, 0};
  CK_RV result = module->C_GetAttributeValue(session, object, &asked, 1);
  if (result == CKR_ATTRIBUTE_TYPE_INVALID || result == CKR_ATTRIBUTE_SENSITIVE ||
      asked.ulValueLen == CK_UNAVAILABLE_INFORMATION) {
    return {};
  }
  std::string value(result == CKR_OK ? asked.ulValueLen : 0, '\0');
  asked.pValue = value.data();
  check(result == CKR_OK ? module->C_GetAttributeValue(session, object, &asked, 1) : result, token);
  return value;
}

// The certificate objects the session shows.
void readCertificates(CK_FUNCTION_LIST* module, CK_SESSION_HANDLE session, const std::string& token,
                      std::vector<TokenCertificate>& found) {
  CK_OBJECT_CLASS objectClass = CKO_CERTIFICATE;
  CK_CERTIFICATE_TYPE type = CKC_X_509;
  std::array<CK_ATTRIBUTE, 2> wanted{
      {{CKA_CLASS, &objectClass, sizeof objectClass}, {CKA_CERTIFICATE_TYPE, &type, sizeof type}}};
  check(module->C_FindObjectsInit(session, wanted.data(), wanted.size()), token);
  std::vector<CK_OBJECT_HANDLE> objects;
  std::array<CK_OBJECT_HANDLE, 16> batch{};
  CK_RV result = CKR_OK;
  for (CK_ULONG count = batch.size(); result == CKR_OK && count > 0;) {
    count = 0;
    result = module->C_FindObjects(session, batch.data(), batch.size(), &count);
    objects.insert(objects.end(), batch.begin(), batch.begin() + static_cast<long>(count));
  }
  module->C_FindObjectsFinal(session);
  check(result, token);
  for (const CK_OBJECT_HANDLE object : objects) {
    const std::string value = attribute(module, session, object, CKA_VALUE, token);
    const std::vector<std::int8_t> der(value.begin(), value.end());
    const auto same = [&der](const TokenCertificate& other) { return other.der == der; };
    // Two modules may show the same card (OpenSC registers two).
    if (!der.empty() && std::none_of(found.begin(), found.end(), same)) {
      found.push_back({token, attribute(module, session, object, CKA_LABEL, token), der});
    }
  }
}

// The certificates of the wanted tokens of `module`; `tokens` counts the
// tokens looked at, `unknown` the cards no module recognises, `hidden` names
// a token that needs a login to show them.
void scanModule(CK_FUNCTION_LIST* module, const std::string& wantedToken, bool login,
                std::vector<TokenCertificate>& found, int& tokens, int& unknown,
                std::string& hidden) {
  CK_ULONG count = 0;
  if (module->C_GetSlotList(CK_FALSE, nullptr, &count) != CKR_OK) {
    return;  // a module without a reader or its service
  }
  std::vector<CK_SLOT_ID> slots(count);
  if (module->C_GetSlotList(CK_FALSE, slots.data(), &count) != CKR_OK) {
    return;
  }
  slots.resize(count);
  for (const CK_SLOT_ID slot : slots) {
    CK_TOKEN_INFO info{};
    const CK_RV result = module->C_GetTokenInfo(slot, &info);
    unknown += result == CKR_TOKEN_NOT_RECOGNIZED ? 1 : 0;
    if (result != CKR_OK || (info.flags & CKF_TOKEN_INITIALIZED) == 0) {
      continue;
    }
    const std::string token = fromPadded(info.label, sizeof info.label);
    if (!wantedToken.empty() && token != wantedToken) {
      continue;
    }
    ++tokens;
    CK_SESSION_HANDLE handle = 0;
    check(module->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &handle), token);
    const auto close = [module](const CK_SESSION_HANDLE* open) { module->C_CloseSession(*open); };
    const std::unique_ptr<CK_SESSION_HANDLE, decltype(close)> session(&handle, close);
    if (login) {
      logIn(module, handle, token);
    }
    const std::size_t before = found.size();
    readCertificates(module, handle, token, found);
    // A module may leave out what it could not read: the card still there
    // says that the read was whole.
    check(module->C_GetTokenInfo(slot, &info), token);
    if (found.size() == before && !login && (info.flags & CKF_LOGIN_REQUIRED) != 0) {
      hidden = token;
    }
  }
}

}  // namespace

std::vector<TokenCertificate> TokenScanner::scan(const std::string& module,
                                                 const std::string& token, bool login,
                                                 std::string& unfinished) {
  // Declared in this order, so that the one module is finalized before it is
  // released.
  std::unique_ptr<CK_FUNCTION_LIST*, ReleaseModules> registered;
  std::unique_ptr<CK_FUNCTION_LIST, ReleaseModule> loaded;
  std::unique_ptr<CK_FUNCTION_LIST, FinalizeModule> initialized;
  std::vector<CK_FUNCTION_LIST*> modules;
  if (module.empty()) {
    registered.reset(p11_kit_modules_load_and_initialize(P11_KIT_MODULE_UNMANAGED));
    if (!registered) {
      throw failure("cannot load the PKCS#11 modules p11-kit registers: " + lastMessage());
    }
    for (CK_FUNCTION_LIST** each = registered.get(); *each != nullptr; ++each) {
      if ((p11_kit_module_get_flags(*each) & P11_KIT_MODULE_TRUSTED) == 0) {
        modules.push_back(*each);
      }
    }
  } else {
    loaded.reset(p11_kit_module_load(module.c_str(), P11_KIT_MODULE_UNMANAGED));
    const CK_RV result = loaded ? p11_kit_module_initialize(loaded.get()) : CKR_GENERAL_ERROR;
    if (result != CKR_OK) {
      throw failure("cannot load the PKCS#11 module " + module + ": " +
                    (loaded ? p11_kit_strerror(result) : lastMessage()));
    }
    initialized.reset(loaded.get());
    modules.push_back(loaded.get());
  }

  std::vector<TokenCertificate> found;
  int tokens = 0;
  int unknown = 0;
  std::string hidden;
  try {
    for (CK_FUNCTION_LIST* each : modules) {
      scanModule(each, token, login, found, tokens, unknown, hidden);
    }
  } catch (const ReadError& error) {
    if (found.empty()) {
      throw;
    }
    unfinished = error.what();
  }
  const std::string named = token.empty() ? "" : " labelled '" + token + "'";
  if (tokens == 0 && unknown > 0) {
    throw failure("the card in the reader is one that no PKCS#11 module recognises");
  }
  if (tokens == 0) {
    throw failure("no token" + named + " present: is the card in its reader?");
  }
  if (found.empty()) {
    throw failure(hidden.empty() ? (tokens == 1 ? "the token" : "the tokens") + named +
                                       (tokens == 1 ? " holds" : " hold") + " no certificates"
                                 : "token '" + hidden +
                                       "' shows no certificates without a login "
                                       "(velk-host scan --login records them)");
  }
  return found;
}
