#include "SampleDocument.h"

namespace Ostrel {

// No comment stands outside the document element and no element mixes text with children:
// neither would survive a save unchanged, and the demo shows a round trip that keeps the tree.
extern const char kSampleDocument[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE catalog SYSTEM "catalog.dtd">
<catalog xmlns="urn:example:catalog" version="2.1" updated="2024-05-14">
  <!-- Prices are in euros and include VAT. -->
  <supplier id="s-17" country="NL">
    <name>Van Dijk &amp; Zonen</name>
    <contact email="orders@vandijk.example" phone="+31 20 555 0147"/>
  </supplier>
  <product sku="TEA-001" category="tea" stock="240" unit="tin" weight="250g" origin="IN">
    <title>Assam Breakfast</title>
    <price currency="EUR">6.95</price>
    <description><![CDATA[Strong & malty; brew 3-4 minutes, milk <optional>.]]></description>
    <tags>
      <tag>black</tag>
      <tag>organic</tag>
    </tags>
  </product>
  <product sku="CUP-310" category="tableware" stock="0" note='sold as "seconds"'>
    <!-- Last batch: remove once the stock reaches zero. -->
    <title>Stoneware mug, 0.3 l</title>
    <price currency="EUR">12.50</price>
    <description>Grade &lt;B&gt;: minor glaze marks.</description>
  </product>
</catalog>
)";

} // namespace Ostrel
