// stream_scanf: the sscanf conversions and the ways they differ from it.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "data_test_util.h"

// A stream over `input` in a temporary file; closed with the object. The
// search paths are empty temporary ones, so the first open indexes nothing else.
struct Input {
    DataDirs dirs;
    DataStream *s = nullptr;
    explicit Input(const std::string &input)
    {
        std::string path = dirs.temp.write("in.txt", input);
        s = stream_open(path.c_str(), "rb");
        EXPECT_NE(s, nullptr);
    }
    ~Input() { stream_close(s); }
};

TEST(StreamScanf, EdgeCasesOfTheDifferences)
{
    int a = -7, b = -7;
    EXPECT_EQ(stream_scanf(Input("12 x").s, "%d %d", &a, &b), 1);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, -7);
    EXPECT_EQ(stream_scanf(Input("").s, "%d %d", &a, &b), -1);
    EXPECT_EQ(stream_scanf(Input("xyz").s, "abc%d", &a), -1);

    char word[32];
    memset(word, '#', sizeof word);
    Input long_word("abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(stream_scanf(long_word.s, "%15s", word), 1);
    EXPECT_STREQ(word, "abcdefghijklmno");
    EXPECT_EQ(word[16], '#');
    EXPECT_EQ(stream_getc(long_word.s), 'p');
}

TEST(StreamScanf, LiteralMismatchFailsEvenAfterStores)
{
    int a = 0, b = 0;
    EXPECT_EQ(stream_scanf(Input("1;2").s, "%d,%d", &a, &b), -1);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(stream_scanf(Input("5").s, "%d;", &a), -1);  // the literal meets the end
    EXPECT_EQ(stream_scanf(Input("5%").s, "%d%%", &a), 1);
    EXPECT_EQ(stream_scanf(Input("5x").s, "%d%%", &a), -1);
    EXPECT_EQ(stream_scanf(Input("ab").s, "a b", &a), 0);  // white space matches none too
    Input rest("key=9");
    EXPECT_EQ(stream_scanf(rest.s, "kex=%d", &a), -1);
    EXPECT_EQ(stream_getc(rest.s), 'y');  // the mismatching character stays readable
}

TEST(StreamScanf, EndAndMismatchResults)
{
    struct Case {
        const char *input, *format;
        int result;
    } cases[] = {
        {"  \n\t", "%d", -1},   // end while skipping white space
        {"5", "%d%d", 1},       // end inside the second conversion
        {"-", "%d", -1},        // end after the sign
        {"-x", "%d", 0},        // no acceptable first character
        {"x", "%d", 0},
        {"7 x", "%d %d", 1},
        {"e5", "%f", 0},        // there is no e conversion and a real needs digits
        {"1.5", "%e", 0},
        {"1.5", "%g", 0},
        {"ab", "%3c", -1},
        {"abc", "%[x]", 0},
        {"", "%[x]", -1},
        {"", "%c", -1},
        {"", "%s", -1},
        {"1 2", "%*d %*d", 0},  // suppressed conversions are not counted
    };
    for (const Case &c : cases) {
        int i1 = 0, i2 = 0;
        char text[16];
        Input in(c.input);
        int r;
        if (strchr(c.format, 'c') || strchr(c.format, '[') || strchr(c.format, 's'))
            r = stream_scanf(in.s, c.format, text);
        else if (strchr(c.format, 'f') || strchr(c.format, 'e') || strchr(c.format, 'g'))
            r = stream_scanf(in.s, c.format, (float *)text);
        else
            r = stream_scanf(in.s, c.format, &i1, &i2);
        EXPECT_EQ(r, c.result) << '"' << c.input << "\" with " << c.format;
    }
}

TEST(StreamScanf, Integers)
{
    struct Case {
        const char *input, *format;
        int value;
        int next;  // the character left in the stream, -1 for the end
    } cases[] = {
        {"0x1F", "%i", 31, -1},
        {"0X1f", "%i", 31, -1},
        {"017", "%i", 15, -1},
        {"09", "%i", 0, '9'},          // base 8: 9 is not a digit
        {"-12", "%i", -12, -1},
        {"+12", "%d", 12, -1},
        {"1fg", "%x", 31, 'g'},         // g is digit 16
        {"0x10", "%x", 0, 'x'},         // only i takes the prefix; x is digit 33
        {"FFz", "%X", 255, 'z'},
        {"789", "%o", 7, '8'},
        {"12abc", "%d", 12, 'a'},
        {"12345", "%3d", 123, '4'},
        {"4294967297", "%d", 1, -1},    // wraps in 32 bits
        {"2147483648", "%d", INT_MIN, -1},
        {"-2147483649", "%d", INT_MAX, -1},
        {"99999999999999999999", "%d", 1661992959, -1},
        {"  \n 42", "%d", 42, -1},
        {"42", " %d", 42, -1},
        {"6 x", "%u", 6, ' '},
    };
    for (const Case &c : cases) {
        int v = -99;
        Input in(c.input);
        EXPECT_EQ(stream_scanf(in.s, c.format, &v), 1) << c.input << " " << c.format;
        EXPECT_EQ(v, c.value) << c.input << " " << c.format;
        EXPECT_EQ(stream_getc(in.s), c.next) << c.input << " " << c.format;
    }
}

TEST(StreamScanf, IntegerLengths)
{
    short h = 0;
    signed char hh = 0;
    long l = 0;
    long long ll = 0;
    unsigned long ul = 0;
    EXPECT_EQ(stream_scanf(Input("70000 300 -5 -6 ffffffff").s, "%hd %hhd %ld %lld %lx", &h, &hh, &l, &ll, &ul), 5);
    EXPECT_EQ(h, (short)4464);
    EXPECT_EQ(hh, (signed char)44);
    EXPECT_EQ(l, -5);
    EXPECT_EQ(ll, -6);
    EXPECT_EQ(ul, 0xffffffffUL);
    long long q = 0;
    EXPECT_EQ(stream_scanf(Input("123").s, "%qd", &q), 1);
    EXPECT_EQ(q, 123);
}

TEST(StreamScanf, Reals)
{
    struct Case {
        const char *input;
        long double value;
        int next;
    } cases[] = {
        {"1.5", 1.5L, -1},
        {"-2.5e3", -2500.0L, -1},
        {"12.5e+2x", 1250.0L, 'x'},
        {".5", 0.5L, -1},
        {"3.", 3.0L, -1},
        {"+7", 7.0L, -1},
        {"1e-2", 0.01L, -1},
        {"2E2", 200.0L, -1},
        {"1e", 1.0L, -1},              // an exponent without digits counts as 0
        {"0.25,", 0.25L, ','},
    };
    for (const Case &c : cases) {
        float f = 0;
        double d = 0;
        long double ld = 0;
        Input in1(c.input), in2(c.input), in3(c.input);
        EXPECT_EQ(stream_scanf(in1.s, "%f", &f), 1) << c.input;
        EXPECT_EQ(stream_scanf(in2.s, "%lf", &d), 1) << c.input;
        EXPECT_EQ(stream_scanf(in3.s, "%Lf", &ld), 1) << c.input;
        EXPECT_FLOAT_EQ(f, (float)c.value) << c.input;
        EXPECT_DOUBLE_EQ(d, (double)c.value) << c.input;
        EXPECT_NEAR((double)(ld / c.value), 1.0, 1e-18) << c.input;
        EXPECT_EQ(stream_getc(in1.s), c.next) << c.input;
    }
    double d = 0;
    EXPECT_EQ(stream_scanf(Input("1e400").s, "%lf", &d), 1);
    EXPECT_TRUE(std::isinf(d));
    EXPECT_EQ(stream_scanf(Input("1e-400").s, "%lf", &d), 1);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(stream_scanf(Input("1e99999999999999").s, "%lf", &d), 1);
    EXPECT_TRUE(std::isinf(d));
    // Digits far beyond the precision neither overflow nor turn into NaN.
    EXPECT_EQ(stream_scanf(Input("1." + std::string(6000, '0')).s, "%lf", &d), 1);
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(stream_scanf(Input("0." + std::string(4000, '0') + "1e4001").s, "%lf", &d), 1);
    EXPECT_DOUBLE_EQ(d, 1.0);
    EXPECT_EQ(stream_scanf(Input(std::string(5000, '9') + "e-5000").s, "%lf", &d), 1);
    EXPECT_DOUBLE_EQ(d, 1.0);
    float f = 0;
    EXPECT_EQ(stream_scanf(Input("1.2345").s, "%3f", &f), 1);  // width: "1.2"
    EXPECT_FLOAT_EQ(f, 1.2f);
}

TEST(StreamScanf, TextConversions)
{
    char a[64] = {}, b[64] = {};
    EXPECT_EQ(stream_scanf(Input("hello world,rest of it").s, "%[^,],%s", a, b), 2);
    EXPECT_STREQ(a, "hello world");
    EXPECT_STREQ(b, "rest");
    EXPECT_EQ(stream_scanf(Input("abcabd").s, "%[a-c]", a), 1);
    EXPECT_STREQ(a, "abcab");
    EXPECT_EQ(stream_scanf(Input("]a]b").s, "%[]a]", a), 1);
    EXPECT_STREQ(a, "]a]");
    EXPECT_EQ(stream_scanf(Input("a-a-b").s, "%[a-]", a), 1);
    EXPECT_STREQ(a, "a-a-");
    EXPECT_EQ(stream_scanf(Input("abc").s, "%2[a-z]", a), 1);
    EXPECT_STREQ(a, "ab");
    EXPECT_EQ(stream_scanf(Input(" x").s, "%c", a), 1);  // no white space skipped
    EXPECT_EQ(a[0], ' ');
    memset(a, 0, sizeof a);
    EXPECT_EQ(stream_scanf(Input("abcd").s, "%3c", a), 1);
    EXPECT_STREQ(a, "abc");  // no terminator written
    EXPECT_EQ(stream_scanf(Input("name: Rider One").s, "name: %63[^\n]", a), 1);
    EXPECT_STREQ(a, "Rider One");
    EXPECT_EQ(stream_scanf(Input("x").s, "%[abc", a), 0);  // an unterminated set
}

TEST(StreamScanf, CountAndSuppression)
{
    int v = 0, n1 = -1, n2 = -1;
    Input in("  42 rest");
    EXPECT_EQ(stream_scanf(in.s, "%n%d%n", &n1, &v, &n2), 1);
    EXPECT_EQ(n1, 0);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(n2, 4);
    // A new call counts from zero, including the character given back before.
    char word[8];
    EXPECT_EQ(stream_scanf(in.s, "%s%n", word, &n1), 1);
    EXPECT_EQ(n1, 5);
    EXPECT_EQ(stream_scanf(Input("1 2").s, "%*d %d", &v), 1);
    EXPECT_EQ(v, 2);
}

TEST(StreamScanf, DefaultWidthIsAMillion)
{
    int v = -1;
    Input digits(std::string(1000001, '0') + "7");
    EXPECT_EQ(stream_scanf(digits.s, "%d", &v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(stream_getc(digits.s), '0');
    EXPECT_EQ(stream_getc(digits.s), '7');

    std::vector<char> buffer(1000001 + 16, '#');
    Input set(std::string(1000005, 'a'));
    EXPECT_EQ(stream_scanf(set.s, "%[a]", buffer.data()), 1);
    EXPECT_EQ(strlen(buffer.data()), 1000000u);
    EXPECT_EQ(slurp_getc(set.s), "aaaaa");
}

TEST(StreamScanf, ReadsLineByLine)
{
    Input in("# comment\nspeed 12.5\ngear 3\n");
    char line[64];
    ASSERT_NE(stream_gets(in.s, line, sizeof line), nullptr);
    float speed = 0;
    int gear = 0;
    EXPECT_EQ(stream_scanf(in.s, "speed %f\n", &speed), 1);
    EXPECT_EQ(stream_scanf(in.s, "gear %d", &gear), 1);
    EXPECT_FLOAT_EQ(speed, 12.5f);
    EXPECT_EQ(gear, 3);
    EXPECT_EQ(stream_scanf(in.s, " %d", &gear), -1);
}
