#include "line/store_factory.h"

namespace tillgate {

StoreFactory ServerStoreFactory() { return {}; }

}  // namespace tillgate
