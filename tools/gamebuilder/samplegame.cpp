#include "gamebuilder/samplegame.h"

#include "gamebuilder/textarchive.h"
#include "gamebuilder/usecodebuilder.h"

#include "usecode/linkdep.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/paths.h"

#include <QDir>
#include <QHash>

#include <iterator>
#include <stdexcept>

namespace lexivo::gamebuild {

// ---------------------------------------------------------------------------
// Text conversion

QByteArray gameText(const char* utf8) {
    static const QHash<char16_t, char> controlLetters{
        {u'Ç', 0x01}, {u'ü', 0x02}, {u'é', 0x03}, {u'â', 0x04}, {u'ä', 0x05}, {u'à', 0x06},
        {u'ç', 0x07}, {u'ê', 0x08}, {u'ë', 0x0B}, {u'è', 0x0C}, {u'ï', 0x0E}, {u'î', 0x0F},
        {u'ì', 0x10}, {u'Ä', 0x11}, {u'É', 0x12}, {u'ô', 0x13}, {u'ö', 0x14}, {u'û', 0x15},
        {u'ù', 0x16}, {u'Ö', 0x17}, {u'Ü', 0x18}, {u'á', 0x19}, {u'ß', 0x1C}, {u'í', 0x1D},
        {u'ò', 0x1E}, {u'ú', 0x1F}};
    static const QHash<char16_t, char> windows1252{
        {u'’', char(0x92)}, {u'–', char(0x96)}, {u'…', char(0x85)}};
    QByteArray out;
    const QString text = QString::fromUtf8(utf8);
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n') {
            out.append("\r\n");
        } else if (auto it = controlLetters.constFind(u); it != controlLetters.constEnd()) {
            out.append(*it);
        } else if (auto w = windows1252.constFind(u); w != windows1252.constEnd()) {
            out.append(*w);
        } else if (u > 0 && u < 0x100) {
            out.append(char(u));
        } else {
            throw std::logic_error("sample text holds a character the game cannot store");
        }
    }
    return out;
}

namespace {

// ---------------------------------------------------------------------------
// Conversation functions
//
// A conversation is laid out the way the game's scripts usually are: an
// optional debug record naming the function (0x4D), a greeting (0x1C adds
// each line to what is said, 0x33 says it), the keywords offered as answers
// (pushed with 0x1D, made an array with 0x1E and handed to add_answer, the
// intrinsic call 0x39 0x0005), then a loop that compares the chosen answer
// with each keyword (0x07 skips forward to the next topic), says the replies
// (0x1D, 0x33) and jumps back to the top of the loop (0x06, or 0x86 in the
// wide functions). The first topic takes its answer back (remove_answer,
// 0x0006). The farewell may be said inside a 0x02 loop over the party.

struct Topic {
    QByteArray keyword;
    QList<QByteArray> replies;
    bool offered = true; // false: another function offers the answer
};

struct Talk {
    quint16 number = 0;
    QList<QByteArray> greeting;
    QList<QByteArray> unreferenced; // stored in the data segment, named by no instruction
    QList<Topic> topics;
    // Answers offered here whose case stands in another function.
    QList<QByteArray> offeredElsewhere;
    QList<QByteArray> farewell;
    quint8 endOpcode = 0x25;
    bool debugInfo = false;
    bool partyLoop = false;
    bool wideJumps = false;
    bool extended = false;
    QList<quint16> externs;     // extra words of the code header
    bool callExterns = false;   // calls each extern (0x24, by its index) after the greeting
    QList<quint16> directCalls; // 0x47 calls by function number after the greeting
};

struct BuiltFunction {
    QList<QByteArray> strings;
    CodeAssembler code;
};

BuiltFunction buildTalk(const Talk& talk) {
    BuiltFunction built;
    QList<QByteArray>& strings = built.strings;
    int debugName = -1;
    if (talk.debugInfo) {
        debugName = int(strings.size());
        strings << QByteArray("func_") + QByteArray::number(talk.number, 16).rightJustified(4, '0')
                << QByteArray("event, item");
    }
    const int greetingStart = int(strings.size());
    strings << talk.greeting << talk.unreferenced;
    const int elsewhereStart = int(strings.size());
    strings << talk.offeredElsewhere;
    QList<int> keywordIndex;
    QList<int> replyStart;
    for (const Topic& topic : talk.topics) {
        keywordIndex << int(strings.size());
        strings << topic.keyword;
        replyStart << int(strings.size());
        strings << topic.replies;
    }
    const int farewellStart = int(strings.size());
    strings << talk.farewell;

    // String operands take their 32-bit form where the string lies beyond the
    // reach of a 16-bit offset.
    const QList<quint32> offsets = stringOffsets(strings);
    auto push = [&](CodeAssembler& c, int index) {
        c.stringRef(offsets.at(index) > 0xFFFF ? 0x9D : 0x1D, index);
    };
    auto addString = [&](CodeAssembler& c, int index) {
        c.stringRef(offsets.at(index) > 0xFFFF ? 0x9C : 0x1C, index);
    };
    const quint8 backJump = talk.wideJumps ? 0x86 : 0x06;
    const QByteArray local0("\x00\x00", 2);

    CodeAssembler& c = built.code;
    c = CodeAssembler(1, 2, talk.externs);
    if (debugName >= 0) c.debugFunc(0x4D, debugName, debugName + 1);
    c.op(0x1F, QByteArray("\x00\x00", 2)).op(0x12, local0);
    for (int i = 0; i < talk.greeting.size(); ++i)
        addString(c, greetingStart + i), c.op(0x33);
    const auto u16 = [](int v) {
        const char bytes[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
        return QByteArray(bytes, 2);
    };
    const QByteArray addAnswer("\x05\x00\x01", 3), removeAnswer("\x06\x00\x01", 3);
    for (int i = 0; talk.callExterns && i < talk.externs.size(); ++i)
        c.op(0x24, u16(i));
    for (quint16 id : talk.directCalls)
        c.op(0x47, u16(id));
    int offered = 0;
    for (int t = 0; t < talk.topics.size(); ++t)
        if (talk.topics[t].offered) push(c, keywordIndex[t]), ++offered;
    for (int i = 0; i < talk.offeredElsewhere.size(); ++i)
        push(c, elsewhereStart + i), ++offered;
    if (offered > 0) c.op(0x1E, u16(offered)).op(0x39, addAnswer);
    c.label("top").op(0x21, local0).jump(0x04, "farewell");
    for (int t = 0; t < talk.topics.size(); ++t) {
        const QString next = QStringLiteral("next%1").arg(t);
        push(c, keywordIndex[t]);
        c.jump(0x07, next, QByteArray("\x01\x00", 2));
        for (int r = 0; r < talk.topics[t].replies.size(); ++r)
            push(c, replyStart[t] + r), c.op(0x33);
        if (t == 0 && talk.topics[t].offered) push(c, keywordIndex[t]), c.op(0x39, removeAnswer);
        c.jump(backJump, "top").label(next);
    }
    c.op(0x21, local0).jump(0x05, "top"); // ask again while the counter holds
    c.label("farewell");
    if (talk.partyLoop && !talk.farewell.isEmpty()) {
        c.label("each").jump(0x02, "eachDone", QByteArray("\x01\x00\x02\x00\x03\x00\x04\x00", 8));
        push(c, farewellStart);
        c.op(0x33).jump(backJump, "each").label("eachDone");
        for (int i = 1; i < talk.farewell.size(); ++i)
            push(c, farewellStart + i), c.op(0x33);
    } else {
        for (int i = 0; i < talk.farewell.size(); ++i)
            push(c, farewellStart + i), c.op(0x33);
    }
    c.op(talk.endOpcode);
    return built;
}

QByteArray talkRecord(const Talk& talk) {
    BuiltFunction built = buildTalk(talk);
    FunctionSpec spec;
    spec.number = talk.number;
    spec.strings = built.strings;
    spec.code = built.code;
    const qint64 size = 2 + dataSegment(built.strings).size() +
                        built.code.assemble(stringOffsets(built.strings)).size();
    spec.extended = talk.extended || size > 0xFFFF;
    return functionRecord(spec);
}

// A function without strings: it only tests a flag and returns.
QByteArray silentRecord(quint16 number, quint8 endOpcode) {
    FunctionSpec spec;
    spec.number = number;
    spec.code = CodeAssembler(1, 0);
    spec.code.op(0x21, QByteArray("\x00\x00", 2))
        .jump(0x05, "skip")
        .op(0x1F, QByteArray("\x01\x00", 2))
        .op(0x12, QByteArray("\x00\x00", 2))
        .label("skip")
        .op(endOpcode);
    return functionRecord(spec);
}

QByteArray g(const char* utf8) {
    return gameText(utf8);
}

Topic topic(const char* keyword, std::initializer_list<const char*> replies) {
    Topic t;
    t.keyword = g(keyword);
    for (const char* r : replies)
        t.replies << g(r);
    return t;
}

// ---------------------------------------------------------------------------
// The small village of Harrowmere

QList<Talk> villageTalks() {
    QList<Talk> talks;

    Talk sign;
    sign.number = 0x0096;
    sign.greeting = {g("HARROWMERE\n\tpop. 212\n\tmind the geese")};
    sign.farewell = {g("The paint is peeling, but the arrow still points north.")};
    sign.endOpcode = 0x32;
    talks << sign;

    Talk inn;
    inn.number = 0x0401;
    inn.debugInfo = true;
    inn.greeting = {g("A broad woman wipes her hands on her apron. \"Welcome to the Copper Kettle, "
                      "traveller! Sit, sit. The stew is hot and the fire is hotter.\""),
                    g("\"I am Marra Quillon, and this is my inn.\"")};
    inn.topics = {
        topic("name", {"\"Marra. Everyone calls me Marra, except my mother, who calls me late.\""}),
        topic("job", {"\"I keep the inn. Beds upstairs, ale downstairs, and gossip everywhere "
                      "in between.\"",
                      "\"A room is six coins a night. Breakfast is free if you are up before "
                      "the rooster, which nobody ever is.\""}),
        topic("room", {"\"The blue room looks over the mill pond.\nThe green room looks over "
                       "the pig sty.\nI will let you guess which one is cheaper.\""}),
        topic("stew", {"\"Turnips, barley, a bit of mutton and a secret.\"",
                       "\"The secret is more pepper. Do not tell Oswin, he thinks it is "
                       "magic.\""}),
        topic("café", {"\"Café? A drink from over the sea, all black and bitter. Edda brought "
                       "a sack of it once. Never again.\""}),
        topic("rumours", {"\"They say the old sage on the hill has not slept in three years. "
                          "I say she naps in the afternoon like everyone else.\""}),
    };
    inn.farewell = {g("\"Mind the step on the way out, it bites.\"")};
    inn.partyLoop = true;
    talks << inn;

    Talk smith;
    smith.number = 0x0402;
    smith.greeting = {g("The ring of a hammer stops. A soot-covered man peers at you over the "
                        "anvil.")};
    smith.topics = {
        topic("name", {"\"Oswin Tallow. Smith, farrier and, on Sundays, bell-ringer.\""}),
        topic("job", {"\"I shoe horses, mend ploughs and straighten the swords that young "
                      "fools bend on fence posts.\""}),
        topic("buy", {"\"Prices:\n\tHorseshoe\t4 coins\n\tKnife\t\t9 coins\n\tShort "
                      "sword\t40 coins\n\tRepairs\t\tdepends on how badly you broke it\""}),
        topic("forge", {"\"The forge has not gone cold in eleven years. My father lit it "
                        "and I intend to keep it that way.\""}),
        topic("Marra", {"\"Best stew in the valley. She puts something in it… I think it is "
                        "an enchantment.\""}),
    };
    smith.farewell = {g("\"Off with you, then. Iron does not wait.\"")};
    talks << smith;

    Talk guard;
    guard.number = 0x0403;
    guard.debugInfo = true;
    guard.greeting = {g("\"Halt! State your business in Harrowmere.\""),
                      g("The guard squints at you, then relaxes. \"Ah, you do not look like a "
                        "goose thief.\"")};
    guard.topics = {
        topic("name", {"\"Sergeant Brannock, of the Harrowmere watch. All three of us.\""}),
        topic("job", {"\"I guard the bridge. Mostly from geese.\""}),
        topic("geese", {"\"Do not laugh. Last spring they took the mayor’s hat, and the mayor "
                        "was still under it.\""}),
        topic("bridge", {"\"Toll is one coin – or a good joke, if the coin purse is "
                         "empty.\""}),
    };
    // The answer the guard offers is taken up by Tobin, who saw the thief.
    guard.offeredElsewhere = {g("goose thief")};
    guard.farewell = {g("\"Move along. And keep your bread out of sight.\"")};
    guard.endOpcode = 0x2D;
    talks << guard;

    Talk sage;
    sage.number = 0x0404;
    sage.debugInfo = true;
    sage.greeting = {g("An old woman looks up from a book as thick as a door step.")};
    // A line the scripts once used and no longer refer to: it is still a string
    // of the function and must be translated like the others.
    sage.unreferenced = {g("\"(This line is no longer spoken.)\"")};
    sage.topics = {
        topic("name", {"\"Ysolde. Once of the Amber College, now of this draughty hill.\""}),
        topic("job", {"\"I read. I remember. Sometimes I advise, when someone is wise enough "
                      "to ask and foolish enough to listen.\""}),
        topic("stars", {"\"The north star has moved a finger’s width since I was a girl.\n"
                        "Either the sky is turning, or I am.\"",
                        "\"Déjà vu is the world repeating a line it forgot it had "
                        "already said.\""}),
        topic("book", {"\"The Chronicle of Rivers. Seven hundred pages, and the river is "
                       "still not finished.\""}),
        topic("sleep", {"\"Whoever says I do not sleep has not watched me after lunch.\""}),
    };
    sage.farewell = {g("\"Go carefully. Roads are longer on the way back.\"")};
    talks << sage;

    Talk ferry;
    ferry.number = 0x0405;
    ferry.greeting = {g("A lean man leans on a pole beside a flat-bottomed boat.")};
    ferry.topics = {
        topic("name", {"\"Pell. Just Pell. The river does not need my other names.\""}),
        topic("job", {"\"I take folk across the Wend. Two coins each way, no refunds for "
                      "the seasick.\""}),
        topic("cross", {"\"Step in, mind the bucket. Sit in the middle. No, the other "
                        "middle.\""}),
    };
    ferry.farewell = {g("\"The river will be here when you want it.\"")};
    ferry.externs = {0x0401};
    talks << ferry;

    Talk herb;
    herb.number = 0x0406;
    herb.greeting = {g("The hut smells of mint, smoke and something you would rather not "
                       "name.")};
    herb.topics = {
        topic("name", {"\"Hazel Moor. Yes, like the bush. My parents had a sense of "
                       "humour.\""}),
        topic("job", {"\"Herbs, salves, tinctures. I cure coughs and blisters. Broken hearts "
                      "take longer.\""}),
        topic("salve", {"\"Rub it on twice a day. Do not eat it. I say that because Tobin ate "
                        "it.\""}),
        topic("ingrédients", {"\"Marigold, yarrow, a pinch of salt and patience. Mostly "
                              "patience.\""}),
    };
    herb.farewell = {g("\"Come back if it itches.\"")};
    herb.endOpcode = 0x32;
    talks << herb;

    Talk bard;
    bard.number = 0x0407;
    bard.greeting = {g("A young woman tunes a lute with more hope than skill.")};
    bard.topics = {
        topic("name", {"\"Liria Vane, singer of songs, teller of tales, debtor to the inn.\""}),
        topic("job", {"\"I sing for my supper. Marra says the supper is worth more than the "
                      "singing.\""}),
        topic("song", {"\"Over the hill and under the rain,\n\tthe goose came home to the mill "
                       "again…\"",
                       "\"It has forty verses. I know nine.\""}),
    };
    bard.farewell = {g("\"If you hear a song about yourself, it was not me.\""),
                     g("She strikes a chord that is almost right.")};
    bard.partyLoop = true;
    bard.endOpcode = 0x32;
    talks << bard;

    Talk miller;
    miller.number = 0x0408;
    miller.greeting = {g("Flour dust hangs in the air like a fog.")};
    miller.topics = {
        topic("name", {"\"Garrick Fenn. I grind the grain, and the grain grinds me.\""}),
        topic("job", {"\"The mill turns when the pond is full. Lately the geese sit in the "
                      "pond and the mill sulks.\""}),
        topic("flour", {"\"Fine flour for bread, coarse for the pigs, and the very coarse for "
                        "Marra’s dumplings.\""}),
    };
    miller.farewell = {g("\"Shut the door, the draught blows the flour away.\"")};
    talks << miller;

    Talk child;
    child.number = 0x0409;
    child.greeting = {g("A boy with scabbed knees looks you up and down. \"Are you a "
                        "knight?\"")};
    child.topics = {
        topic("name", {"\"Tobin! I am seven and three quarters.\""}),
        topic("job", {"\"I count the geese. There are forty-one. There were forty-two "
                      "before the fox.\""}),
        topic("knight", {"\"When I grow up I will have a sword and a horse and a hat with a "
                         "feather. And no bedtime.\""}),
        topic("goose thief", {"\"It was the fox! I saw its tail, all red. The sergeant never "
                              "believes me.\""}),
    };
    child.topics.last().offered = false; // the guard offers it
    child.farewell = {g("\"Bye! Do not step on the snails!\"")};
    talks << child;

    return talks;
}

// The weaver is kept in the extended record form (0xFFFF marker, 32-bit sizes)
// and uses the 32-bit jump forms.
Talk weaverTalk() {
    Talk weaver;
    weaver.number = 0x040A;
    weaver.extended = true;
    weaver.wideJumps = true;
    weaver.greeting = {g("The clack of a loom fills the little room.")};
    weaver.topics = {
        topic("name", {"\"Edda. I weave, and I travel, and sometimes I do both at once.\""}),
        topic("job", {"\"Wool from the hill farms, linen from the river, and once, a bolt of "
                      "silk that paid for this roof.\""}),
        topic("façade", {"\"The new façade of the chapel? My curtains hide the worst of "
                         "it.\""}),
    };
    weaver.farewell = {g("\"Come back in winter, you will need a cloak.\"")};
    return weaver;
}

// The lamplighter's function only exists with a 32-bit id (0xFFFE record).
Talk lamplighterTalk() {
    Talk lamp;
    lamp.number = 0x0000; // the record carries its own id
    lamp.greeting = {g("\"Evening! Or morning. With my trade it is hard to tell.\"")};
    lamp.topics = {topic("lamps", {"\"Sixty-four lamps, one ladder, one me.\""})};
    lamp.farewell = {g("\"Keep to the lit side of the street.\"")};
    return lamp;
}

QList<SymbolSpec> villageSymbols() {
    auto sym = [](const char* name, quint16 kind, quint32 value, quint32 extra = 0) {
        SymbolSpec s;
        s.name = name;
        s.kind = kind;
        s.value = value;
        s.extra = extra;
        return s;
    };
    SymbolSpec riverfolk = sym("Riverfolk", 4, 0);
    riverfolk.members = {sym("Ferryman Pell", 1, 0x0405), sym("Herbalist Hazel", 6, 0x0406, 3)};
    riverfolk.list = {0x0405, 0x0406};
    return {sym("Signpost", 3, 0x0096),
            sym("Innkeeper Marra", 1, 0x0401),
            sym("Blacksmith Oswin", 1, 0x0402),
            sym("Sergeant Brannock", 1, 0x0403),
            sym("Sage Ysolde", 1, 0x0404),
            riverfolk,
            sym("Bard Liria", 1, 0x0407),
            sym("Miller Garrick", 1, 0x0408),
            sym("Tobin the goose counter", 1, 0x0409),
            sym("Weaver Edda", 6, 0x040A, 0x10),
            sym("Cellar door", 3, 0x0100),
            sym("Lamplighter", 7, 0x12345),
            sym("Well bucket", 7, 0x0101)};
}

QByteArray smallUsecode() {
    QByteArray out = symbolTableHeader(villageSymbols());
    const QList<Talk> talks = villageTalks();
    out += talkRecord(talks.at(0));    // signpost, 0x0096
    out += silentRecord(0x0100, 0x25); // cellar door: no strings
    for (qsizetype i = 1; i < talks.size(); ++i) {
        out += talkRecord(talks.at(i));
        if (talks.at(i).number == 0x0404) { // the 0xFFFE record sits between two functions
            const BuiltFunction lamp = buildTalk(lamplighterTalk());
            out += fffeRecord(0x12345, lamp.strings, lamp.code);
        }
    }
    out += talkRecord(weaverTalk());
    out += silentRecord(0x0101, 0x2C); // well bucket: no strings either
    return out;
}

// The village as the original DOS release would hold it: no symbol table,
// standard records and original opcodes only, and extern tables through which
// the original engine loads a function together with everything it may call.
// Callees are shared (the cellar door's function by several) and call each
// other in cycles (innkeeper and smith; the riverfolk three).
QByteArray dosUsecode() {
    QList<Talk> talks = villageTalks();
    const QHash<quint16, QList<quint16>> externs{
        {0x0096, {0x0100}},         {0x0401, {0x0402, 0x0100}}, {0x0402, {0x0401}},
        {0x0403, {0x0100, 0x0404}}, {0x0404, {0x0403}},         {0x0405, {0x0406}},
        {0x0406, {0x0407}},         {0x0407, {0x0405, 0x0101}}, {0x0409, {0x0408}},
    };
    QByteArray out;
    for (qsizetype i = 0; i < talks.size(); ++i) {
        Talk talk = talks.at(i);
        talk.externs = externs.value(talk.number);
        talk.callExterns = true;
        if (talk.number == 0x0408) talk.directCalls = {0x0100}; // outside its tree: warned about
        if (talk.number == 0x0402) talk.directCalls = {0x0401}; // inside it
        out += talkRecord(talk);
        if (i == 0) out += silentRecord(0x0100, 0x25);
    }
    out += silentRecord(0x0101, 0x2C);
    return out;
}

QList<std::optional<QByteArray>> smallMessages() {
    static const char* const messages[] = {
        "You cannot reach that.",
        "It is locked.",
        "Too heavy to lift.",
        "Nothing happens.",
        "The door is stuck.",
        "You are hungry.",
        "You are very hungry.",
        "You are starving!",
        "Not enough room in your pack.",
        nullptr, // an empty slot in the archive
        "The spell fizzles.",
        "Game saved.",
        "Game loaded.",
        "Are you sure you want to quit?\nUnsaved progress will be lost.",
        "Yes",
        "No",
        "Gold:\t%d",
        "Weight:\t%d / %d",
        "Someone is watching you…",
        "The chest is empty.",
        "You feel rested.",
        "You cannot sleep here – it is too noisy.",
        "A goose hisses at you.",
        "Thief! Guards!",
        "Your torch burns out.",
        "The potion tastes of mint and regret.",
        "Naïve courage is still courage.",
        "Crème brûlée? Not in Harrowmere.",
        "Über den Fluß: two coins.",
        "Fin.",
    };
    QList<std::optional<QByteArray>> out;
    for (const char* m : messages)
        out << (m ? std::optional<QByteArray>(gameText(m)) : std::nullopt);
    return out;
}

// ---------------------------------------------------------------------------
// The full-scale game, from word lists and a fixed seed

class Random {
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint32 next() {
        // xorshift64*: fixed, platform-independent sequence
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return quint32((m_state * 2685821657736338717ULL) >> 32);
    }
    int below(int n) { return int(next() % quint32(n)); }
    template <typename T, size_t N> const T& pick(const T (&list)[N]) { return list[below(N)]; }

private:
    quint64 m_state;
};

const char* const kNames[] = {"Aldo",  "Brisa",  "Corvin", "Dalla", "Emmet", "Fenna",  "Galen",
                              "Hild",  "Ivo",    "Jessa",  "Kell",  "Lorna", "Madoc",  "Nessa",
                              "Orrin", "Pia",    "Quill",  "Rhea",  "Soren", "Tamsin", "Ulric",
                              "Vela",  "Wystan", "Yara",   "Zeb",   "Renée", "Jörg",   "Noël"};
const char* const kTrades[] = {"baker",  "cooper",  "tanner",    "fisher",    "chandler", "mason",
                               "potter", "carter",  "shepherd",  "scribe",    "brewer",   "roofer",
                               "tinker", "glazier", "beekeeper", "rope-maker"};
const char* const kAdjectives[] = {"old",    "quiet",  "crooked", "bright",   "muddy",   "narrow",
                                   "broken", "golden", "damp",    "humble",   "ancient", "naïve",
                                   "windy",  "smoky",  "patient", "stubborn", "lucky",   "grey"};
const char* const kNouns[] = {"bridge", "well",   "orchard", "mill",   "road",   "chapel",
                              "market", "barn",   "lantern", "ledger", "cellar", "fence",
                              "kettle", "ferry",  "harvest", "storm",  "goose",  "café",
                              "façade", "ladder", "river",   "hill",   "wagon",  "bell"};
const char* const kVerbs[] = {"needs mending",        "was built by my grandfather",
                              "floods every spring",  "is older than the town",
                              "smells of rain",       "belongs to nobody",
                              "creaks at night",      "was sold twice",
                              "is haunted, they say", "costs more than it should",
                              "was painted blue",     "leans to the left"};
const char* const kOpeners[] = {"Aye,",        "Well,", "Listen,",  "Mind you,", "Truth be told,",
                                "Between us,", "Oh,",   "They say", "Honestly,", "Mark me,"};
const char* const kTopics[] = {"name",    "job",    "bye",   "rumours", "weather", "prices",
                               "work",    "family", "town",  "road",    "mill",    "river",
                               "harvest", "trade",  "geese", "news"};

QByteArray sentence(Random& rng) {
    QByteArray s;
    s += rng.pick(kOpeners);
    s += " the ";
    s += rng.pick(kAdjectives);
    s += ' ';
    s += rng.pick(kNouns);
    s += ' ';
    s += rng.pick(kVerbs);
    s += '.';
    return s;
}

// One line of speech: one to three sentences, sometimes broken over lines or
// holding a tab, in quotes.
QByteArray speech(Random& rng, int minSentences, int maxSentences) {
    QByteArray s = "\"";
    const int count = minSentences + rng.below(maxSentences - minSentences + 1);
    for (int i = 0; i < count; ++i) {
        if (i > 0) s += rng.below(6) == 0 ? "\n" : (rng.below(25) == 0 ? "\t" : " ");
        s += sentence(rng);
    }
    s += '"';
    return gameText(s.constData());
}

Talk generatedTalk(Random& rng, quint16 number, int stringTarget, int minSentences,
                   int maxSentences) {
    Talk talk;
    talk.number = number;
    talk.debugInfo = rng.below(4) == 0;
    talk.partyLoop = rng.below(5) == 0;
    static const quint8 ends[] = {0x25, 0x25, 0x25, 0x25, 0x32, 0x2D};
    talk.endOpcode = ends[rng.below(6)];
    QByteArray greet = "You see ";
    greet += rng.pick(kNames);
    greet += ", the ";
    greet += rng.pick(kTrades);
    greet += '.';
    talk.greeting = {gameText(greet.constData())};
    int used = 2 + (talk.debugInfo ? 2 : 0);
    const int topicCount = int(std::size(kTopics));
    int t = rng.below(topicCount);
    while (used < stringTarget) {
        Topic topic;
        topic.keyword = kTopics[t % topicCount];
        if (t >= topicCount) topic.keyword += QByteArray::number(t / topicCount);
        ++t;
        const int replies = 1 + rng.below(3);
        for (int r = 0; r < replies; ++r)
            topic.replies << speech(rng, minSentences, maxSentences);
        used += 1 + replies;
        talk.topics << topic;
    }
    talk.farewell = {speech(rng, 1, 1)};
    return talk;
}

constexpr int kFullFunctions = 1500;
constexpr int kFullMessages = 800;

QByteArray fullUsecode() {
    Random rng(0x5EEDC0FFEE);
    QList<SymbolSpec> symbols;
    QByteArray records;
    records.reserve(1600 * 1024);
    for (int i = 0; i < kFullFunctions; ++i) {
        const quint16 number = quint16(0x0100 + i);
        SymbolSpec s;
        s.name = gameText(kNames[i % std::size(kNames)]) + ' ' +
                 kTrades[(i / 3) % std::size(kTrades)] + ' ' + QByteArray::number(i);
        s.kind = 1;
        s.value = number;
        if (i % 40 == 7) {
            records += silentRecord(number, 0x25); // a function without strings
        } else if (i == kFullFunctions / 2) {
            // The chronicle: one function whose strings exceed 64 KiB, so it is
            // kept in the extended form and names its far strings with 0x9D.
            Talk chronicle = generatedTalk(rng, number, 400, 5, 8);
            chronicle.extended = true;
            s.name = "Chronicle of the valley";
            s.kind = 6;
            s.extra = 1;
            records += talkRecord(chronicle);
        } else {
            const Talk talk = generatedTalk(rng, number, 5 + rng.below(9), 2, 4);
            records += talkRecord(talk);
        }
        if (i == 1000) {
            const BuiltFunction lamp = buildTalk(generatedTalk(rng, 0, 6, 1, 2));
            records += fffeRecord(0x10000 + quint32(i), lamp.strings, lamp.code);
        }
        symbols << s;
    }
    SymbolSpec guild;
    guild.name = "Guild of the valley";
    guild.kind = 4;
    for (int i = 0; i < 5; ++i) {
        SymbolSpec m;
        m.name = QByteArray("Guild member ") + QByteArray::number(i);
        m.kind = i == 2 ? 6 : 1;
        m.value = quint32(0x0100 + i);
        m.extra = 9;
        guild.members << m;
        guild.list << quint16(0x0100 + i);
    }
    symbols << guild;
    SymbolSpec table;
    table.name = "Tables";
    table.kind = 3;
    table.value = 0x0080;
    symbols << table;
    SymbolSpec far;
    far.name = "Lamp post";
    far.kind = 7;
    far.value = 0x10000 + 1000;
    symbols << far;
    return symbolTableHeader(symbols) + records;
}

QList<std::optional<QByteArray>> fullMessages() {
    Random rng(0x7E57F1A);
    QList<std::optional<QByteArray>> out = smallMessages();
    while (out.size() < kFullMessages)
        out << speech(rng, 1, 2);
    return out;
}

} // namespace

QByteArray sampleUsecode(SampleScale scale) {
    return scale == SampleScale::Full ? fullUsecode() : smallUsecode();
}

QList<std::optional<QByteArray>> sampleMessages(SampleScale scale) {
    return scale == SampleScale::Full ? fullMessages() : smallMessages();
}

QByteArray sampleDosUsecode() {
    return dosUsecode();
}

QList<QString> writeSampleGame(const QString& gameDir, const SampleGameOptions& options) {
    QString dir = withTrailingSlash(gameDir);
    if (!QDir().mkpath(dir))
        throw FileError::cannotCreate(dir, QStringLiteral("The folder cannot be created."));
    if (options.staticFolder) {
        dir = withTrailingSlash(resolvePath(dir, QStringLiteral("STATIC")));
        if (!QDir().mkpath(dir))
            throw FileError::cannotCreate(dir, QStringLiteral("The folder cannot be created."));
    }
    const QString usecodePath = resolvePath(dir, options.staticFolder ? QStringLiteral("USECODE")
                                                                      : QStringLiteral("usecode"));
    const QString textPath = resolvePath(dir, options.staticFolder ? QStringLiteral("TEXT.FLX")
                                                                   : QStringLiteral("text.flx"));
    if (options.dos) {
        // The original release's files, upper case as on its disks.
        const QByteArray usecode = dosUsecode();
        const LinkDepResult linkdep = buildLinkDep(usecode, usecodePath);
        if (!linkdep.ok()) throw Error(linkdep.problems.join(QLatin1Char('\n')));
        const QString dosUsecodePath = resolvePath(dir, QStringLiteral("USECODE"));
        const QString dosTextPath = resolvePath(dir, QStringLiteral("TEXT.FLX"));
        const QString linkdep1 = resolvePath(dir, QStringLiteral("LINKDEP1"));
        const QString linkdep2 = resolvePath(dir, QStringLiteral("LINKDEP2"));
        writeFileAtomically(dosUsecodePath, usecode);
        // The original fonts have no ellipsis.
        QList<std::optional<QByteArray>> messages = sampleMessages(SampleScale::Small);
        for (std::optional<QByteArray>& m : messages)
            if (m) m->replace("\x85", "...");
        writeFileAtomically(dosTextPath, textArchive(messages));
        writeFileAtomically(linkdep1, linkdep.linkdep1);
        writeFileAtomically(linkdep2, linkdep.linkdep2);
        return {dosUsecodePath, dosTextPath, linkdep1, linkdep2};
    }
    writeFileAtomically(usecodePath, sampleUsecode(options.scale));
    writeFileAtomically(textPath, textArchive(sampleMessages(options.scale)));
    return {usecodePath, textPath};
}

} // namespace lexivo::gamebuild
