#include "links/exchange.h"

namespace tovrel {

// The exchanges arrive with the HTTP client; until then Get and Enter do nothing.
void fetchSharePage() {}

void submitCaptcha() {}

}  // namespace tovrel
