"""The Group Policy templates: well-formed, every text and presentation the
ADMX names present in both languages, and the list policy writing the key and
value names that the package's action writes and the program reads.

    python3 tests/shipping/policy_templates_test.py"""

import re
import unittest
import xml.etree.ElementTree as ET
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
POLICY = REPO / "installer" / "policy"
NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
LANGUAGES = ("en-US", "zh-CN")
MACHINE_LIST_KEY = r"Software\Policies\orvo\TrustedServers"


def c_string_literals_naming(text, key):
    """Whether C++ source text holds the key as a string literal (narrow or wide)."""
    escaped = key.replace("\\", "\\\\")
    return re.search(r'L?"' + re.escape(escaped) + r'"', text) is not None


class PolicyTemplates(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.admx = ET.parse(POLICY / "orvo.admx").getroot()
        cls.adml = {lang: ET.parse(POLICY / lang / "orvo.adml").getroot() for lang in LANGUAGES}

    def test_every_reference_resolves_in_both_languages(self):
        text = ET.tostring(self.admx, encoding="unicode")
        strings = set(re.findall(r"\$\(string\.(\w+)\)", text))
        presentations = set(re.findall(r"\$\(presentation\.(\w+)\)", text))
        self.assertTrue(strings and presentations)
        element_ids = {e.get("id") for e in self.admx.iterfind(".//p:elements/*", NS)}
        for lang, adml in self.adml.items():
            with self.subTest(lang=lang):
                defined = {s.get("id") for s in adml.iterfind(".//p:stringTable/p:string", NS)}
                self.assertEqual(strings - defined, set())
                self.assertTrue(all((s.text or "").strip() for s in adml.iterfind(".//p:string", NS)))
                shown = {p.get("id"): p for p in adml.iterfind(".//p:presentationTable/p:presentation", NS)}
                self.assertEqual(presentations - shown.keys(), set())
                refs = {c.get("refId") for p in shown.values() for c in p}
                self.assertEqual(refs, element_ids)
        # Both languages carry the same texts, so neither shows a raw id.
        en, zh = ({s.get("id") for s in a.iterfind(".//p:string", NS)} for a in self.adml.values())
        self.assertEqual(en, zh)
        # Categories and support definitions the policies name exist.
        categories = {c.get("name") for c in self.admx.iterfind(".//p:categories/p:category", NS)}
        supported = {d.get("name") for d in self.admx.iterfind(".//p:supportedOn/p:definitions/p:definition", NS)}
        for policy in self.admx.iterfind(".//p:policies/p:policy", NS):
            self.assertIn(policy.find("p:parentCategory", NS).get("ref"), categories)
            self.assertIn(policy.find("p:supportedOn", NS).get("ref"), supported)

    def test_trusted_servers_policy_writes_the_machine_list_the_package_writes(self):
        [policy] = [p for p in self.admx.iterfind(".//p:policy", NS) if p.get("name") == "TrustedServers"]
        self.assertEqual(policy.get("class"), "Machine")
        [lst] = policy.findall("p:elements/p:list", NS)
        self.assertEqual(lst.get("key") or policy.get("key"), MACHINE_LIST_KEY)
        # Without a value prefix or explicit names, each entry becomes a value
        # whose name (and data) is the origin: one value per origin.
        self.assertIsNone(lst.get("valuePrefix"))
        self.assertIn(lst.get("explicitValue", "false"), ("false", "0"))
        self.assertIn(lst.get("expandable", "false"), ("false", "0"))

        action = (REPO / "installer" / "msi" / "trusted_servers_action.cpp").read_text(encoding="utf-8")
        self.assertTrue(c_string_literals_naming(action, MACHINE_LIST_KEY), "the MSI action writes another key")

    def test_the_program_reads_that_machine_list(self):
        sources = [p for p in (REPO / "printer").rglob("*") if p.suffix in (".cpp", ".h")]
        readers = [p for p in sources if "TrustedServers" in p.read_text(encoding="utf-8", errors="replace")]
        if not readers:
            self.skipTest("the program does not read a machine list of trusted servers in this tree")
        self.assertTrue(any(c_string_literals_naming(p.read_text(encoding="utf-8", errors="replace"),
                                                     MACHINE_LIST_KEY) for p in readers),
                        f"none of {[str(p.relative_to(REPO)) for p in readers]} names {MACHINE_LIST_KEY}")


if __name__ == "__main__":
    unittest.main()
