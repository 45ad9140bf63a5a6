#include "../support/TempFolder.h"
#include "quillon/mail/Contact.h"

#include <gtest/gtest.h>

#include <fstream>

namespace mail = qln::mail;

namespace {

TEST(VCard, FoldedLinesEscapesAndUtf8AreRead)
{
    const auto contact = mail::parseVCard("BEGIN:VCARD\r\n"
                                          "VERSION:3.0\r\n"
                                          "FN:Smith\\, Jo\r\n"
                                          "ORG:H\xC3\xBCgel Farm\\; Sons;Sales\r\n"
                                          "X-MESSAGE-CLASS:IPM.Contact.Ambrel \r\n"
                                          " Customer\r\n"
                                          "X-ORGANIZATIONAL-ID:AB12-345678\r\n"
                                          "\t9\r\n"
                                          "ADR;TYPE=work:;;12 Main St\\nSuite 4;Ames;IA;50010;USA\r\n"
                                          "END:VCARD\r\n");
    EXPECT_EQ(contact.FileAs, "Smith, Jo");
    EXPECT_EQ(contact.CompanyName, "H\xC3\xBCgel Farm; Sons");
    EXPECT_EQ(contact.MessageClass, "IPM.Contact.Ambrel Customer");
    EXPECT_EQ(contact.OrganizationalIDNumber, "AB12-3456789");
    EXPECT_EQ(contact.BusinessAddressStreet, "12 Main St\nSuite 4");
    EXPECT_EQ(contact.BusinessAddressCity, "Ames");
    EXPECT_EQ(contact.BusinessAddressState, "IA");
    EXPECT_EQ(contact.BusinessAddressPostalCode, "50010");
}

TEST(VCard, TheWorkAddressWinsOverOthersInVersion4)
{
    const auto contact = mail::parseVCard("BEGIN:VCARD\nVERSION:4.0\n"
                                          "item1.ADR;TYPE=home;LABEL=\"Home: a;b\":;;1 Home Rd;Homeville;NE;68001;\n"
                                          "ADR;TYPE=\"pref,work\":;;9 Office Ave;Lincoln;NE;68508;\n"
                                          "ADR;TYPE=work:;;Later Rd;Other;KS;66002;\n"
                                          "END:VCARD\n");
    EXPECT_EQ(contact.BusinessAddressStreet, "9 Office Ave");
    EXPECT_EQ(contact.BusinessAddressCity, "Lincoln");
    // Without a work address, the first one is taken.
    const auto home = mail::parseVCard("BEGIN:VCARD\nADR:;;1 Home Rd;Homeville;NE;68001\nEND:VCARD\n");
    EXPECT_EQ(home.BusinessAddressPostalCode, "68001");
}

TEST(VCard, TextWithoutACardIsAnError)
{
    EXPECT_THROW(mail::parseVCard("FN:Nobody\n"), mail::ContactError);
    EXPECT_THROW(mail::parseVCard(""), mail::ContactError);
}

TEST(VCard, TheOpenContactComesFromTheNamedFileOrIsAbsent)
{
    qln::test::TempFolder temp;
    const auto file = temp / "open.vcf";
    ::setenv("QUILLON_CONTACT_FILE", file.c_str(), 1);
    EXPECT_FALSE(mail::activeContact());
    std::ofstream(file) << "BEGIN:VCARD\nFN:Jo\nEND:VCARD\n";
    ASSERT_TRUE(mail::activeContact());
    EXPECT_EQ(mail::activeContact()->FileAs, "Jo");
    std::ofstream(file) << "not a card";
    EXPECT_THROW(mail::activeContact(), mail::ContactError);

    ::unsetenv("QUILLON_CONTACT_FILE");
    EXPECT_EQ(mail::activeContactPath(), temp / "data" / "quillon" / "contact.vcf");
}

} // namespace
