// Storage of the process-wide job record.
#include "engine/address_job.h"

namespace trelvane {

AddressJobRecord AddressJob;

} // namespace trelvane
