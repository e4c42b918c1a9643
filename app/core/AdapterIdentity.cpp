#include "app/core/AdapterIdentity.h"

namespace app {

bool HasAdapterIds(const hid::THidDevice& device) {
    const HIDD_ATTRIBUTES& attributes = device.Attributes();
    return attributes.VendorID == AdapterVendorID && attributes.ProductID == AdapterProductID;
}

bool IsAdapter(hid::THidDevice& device) {
    if (device.Attributes().VendorID != AdapterVendorID) {
        return false;
    }
    if (device.Caps().InputReportByteLength != AdapterInputReportLength) {
        return false;
    }
    return device.Attributes().ProductID == AdapterProductID;
}

} // namespace app
