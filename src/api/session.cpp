#include "api/session.h"

#include <memory>

namespace vantrel::api {

// In storage of its own that no static destructor reaches: the unload needs the session
// whichever static object goes first.
Session& TheSession() {
  alignas(Session) static unsigned char storage[sizeof(Session)];
  static Session* const session = new (storage) Session();
  return *session;
}

void Session::ForgetLayerStates() {
  layersEnded_.store(true);
  std::destroy_at(&commands);
}

}  // namespace vantrel::api
