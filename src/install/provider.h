// The system's network provider order: the product's provider at the head
// of HKLM\System\CurrentControlSet\Control\NetworkProvider\Order
// "ProviderOrder", or taken out of it.
#pragma once

namespace kiv {

// Puts the product's provider at the head of the order. A provider listed
// further on is first removed, then the add runs again; the repetition
// stops as soon as a removal is not stored.
void AddProviderToOrder();

// Takes the product's first entry out of the order. True when a shorter
// list was stored.
bool RemoveProviderFromOrder();

}  // namespace kiv
