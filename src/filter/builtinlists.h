// The lists compiled into the library, in the list files' own format: the
// filter works even when the list folder is missing or damaged.
#pragma once

namespace qv {

extern const char kBuiltinAdultDomains[];
extern const char kBuiltinAdultKeywords[];
extern const char kBuiltinPopupHosts[];
extern const char kBuiltinVideoHosts[];

}  // namespace qv
