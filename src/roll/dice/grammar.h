#pragma once

// The whole dice notation, in one place: the README's "Dice notation"
// section is this grammar, rule for rule. Case does not matter; blanks
// (spaces, tabs) may stand between terms, never inside a number or a dice
// term. The messages of the rules that must match are what the player
// reads, with " at column N." after them.
//
//   roll      <- blanks repeat? sum blanks end
//   repeat    <- digits blanks 'x' blanks                  ("6x4d6kh3")
//   sum       <- product (blanks [+-] blanks product)*
//   product   <- unary (blanks [*/] blanks unary)*
//   unary     <- ('-' blanks)* atom
//   atom      <- dice / number / '(' blanks sum blanks ')'
//   dice      <- digits? 'd' sides '!'? reroll? keep? successes?
//   sides     <- digits / '%' / 'F'
//   reroll    <- 'ro' compare? test                         ("ro1", "ro<3")
//   keep      <- ('kh' / 'kl' / 'dh' / 'dl' / 'k') digits   ("kh3", "dl1", "k1")
//   successes <- compare test                               (">=8")
//   compare   <- '>=' / '<=' / '>' / '<' / '='
//   test      <- '-'? digits

#include <tao/pegtl.hpp>

namespace tambrel::dice::grammar {

namespace pegtl = tao::pegtl;

struct blanks : pegtl::star<pegtl::one<' ', '\t'>> {};
struct digits : pegtl::plus<pegtl::digit> {};

struct sum;

// Dice and what follows them. Each part is a rule of its own, so that the
// parser's action for it knows what it read.
struct dice_start : pegtl::success {};
struct dice_count : digits {};
struct dice_letter : pegtl::one<'d', 'D'> {};
struct sides_number : digits {};
struct sides_percent : pegtl::one<'%'> {};
struct sides_fudge : pegtl::one<'f', 'F'> {};
struct sides : pegtl::sor<sides_number, sides_percent, sides_fudge> {};
struct explode : pegtl::one<'!'> {};
struct compare : pegtl::sor<pegtl::string<'>', '='>, pegtl::string<'<', '='>, pegtl::one<'>'>,
                            pegtl::one<'<'>, pegtl::one<'='>> {};
struct test : pegtl::seq<pegtl::opt<pegtl::one<'-'>>, digits> {};
struct reroll_compare : compare {};
struct reroll_test : test {};
struct reroll : pegtl::seq<pegtl::istring<'r', 'o'>, pegtl::opt<reroll_compare>,
                           pegtl::must<reroll_test>> {};
struct keep_kind : pegtl::sor<pegtl::istring<'k', 'h'>, pegtl::istring<'k', 'l'>,
                              pegtl::istring<'d', 'h'>, pegtl::istring<'d', 'l'>,
                              pegtl::one<'k', 'K'>> {};
struct keep_count : digits {};
struct keep : pegtl::seq<keep_kind, pegtl::must<keep_count>> {};
struct success_compare : compare {};
struct success_test : test {};
struct successes : pegtl::seq<success_compare, pegtl::must<success_test>> {};
struct dice : pegtl::seq<dice_start, pegtl::opt<dice_count>, dice_letter, pegtl::must<sides>,
                         pegtl::opt<explode>, pegtl::opt<reroll>, pegtl::opt<keep>,
                         pegtl::opt<successes>> {};

// Arithmetic, loosest binding last.
struct number : digits {};
struct open : pegtl::one<'('> {};
struct close : pegtl::one<')'> {};
struct group : pegtl::seq<open, blanks, pegtl::must<sum>, blanks, pegtl::must<close>> {};
struct atom : pegtl::sor<dice, number, group> {};
struct minus : pegtl::seq<pegtl::one<'-'>, blanks> {};
struct unary : pegtl::seq<pegtl::star<minus>, pegtl::must<atom>> {};
struct product_tail : pegtl::seq<blanks, pegtl::one<'*', '/'>, blanks, pegtl::must<unary>> {};
struct product : pegtl::seq<unary, pegtl::star<product_tail>> {};
struct sum_tail : pegtl::seq<blanks, pegtl::one<'+', '-'>, blanks, pegtl::must<product>> {};
struct sum : pegtl::seq<product, pegtl::star<sum_tail>> {};

struct repeat : pegtl::seq<digits, blanks, pegtl::one<'x', 'X'>, blanks> {};
struct end : pegtl::eof {};
struct roll : pegtl::seq<blanks, pegtl::opt<repeat>, pegtl::must<sum>, blanks, pegtl::must<end>> {};

// What was expected where a rule that must match did not.
template <typename Rule>
inline constexpr const char* kExpected = nullptr;
template <> inline constexpr const char* kExpected<sum> = "Expected a number, dice or '('";
template <> inline constexpr const char* kExpected<product> = "Expected a number, dice or '('";
template <> inline constexpr const char* kExpected<unary> = "Expected a number, dice or '('";
template <> inline constexpr const char* kExpected<atom> = "Expected a number, dice or '('";
template <> inline constexpr const char* kExpected<sides> = "Expected the number of sides after 'd'";
template <> inline constexpr const char* kExpected<keep_count> =
    "Expected the number of dice to keep or drop";
template <> inline constexpr const char* kExpected<reroll_test> = "Expected a number to compare with";
template <> inline constexpr const char* kExpected<success_test> = "Expected a number to compare with";
template <> inline constexpr const char* kExpected<close> = "Expected ')'";
template <> inline constexpr const char* kExpected<end> = "Expected an operator or the end";

struct Messages {
  template <typename Rule>
  static constexpr const char* message = kExpected<Rule>;
};

}  // namespace tambrel::dice::grammar
