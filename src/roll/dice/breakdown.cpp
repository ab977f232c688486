#include "roll/dice/breakdown.h"

#include <string>

namespace tambrel::dice {
namespace {

// Marks as the copied text shows them, or as words for a screen reader.
enum class Style { Marks, Words };

std::string DieText(const Die& die, Style style) {
  std::string text;
  if (die.rerolled) {
    const std::string first = std::to_string(*die.rerolled);
    text += style == Style::Marks ? "(" + first + ") " : first + " rerolled, ";
  }
  for (std::size_t i = 0; i < die.rolls.size(); ++i) {
    if (i > 0) text += ", ";
    std::string roll = std::to_string(die.rolls[i]);
    const bool exploded = i + 1 < die.rolls.size();
    if (exploded) roll += style == Style::Marks ? "!" : " exploded";
    if (die.dropped && style == Style::Marks) roll = "(" + roll + ")";
    text += roll;
  }
  if (die.dropped && style == Style::Words) text += " dropped";
  if (die.success) text += style == Style::Marks ? "*" : " counts";
  return text;
}

std::string TermText(const TermRoll& term, Style style) {
  std::string text = style == Style::Marks ? "[" : "";
  for (std::size_t i = 0; i < term.dice.size(); ++i) {
    if (i > 0) text += ", ";
    text += DieText(term.dice[i], style);
  }
  if (style == Style::Marks) text += "]";
  return text;
}

std::string NodeText(const Expression& expression, const Roll& roll, std::int32_t index,
                     Style style) {
  const Node& node = expression.Nodes()[static_cast<std::size_t>(index)];
  const auto operand = [&](std::int32_t child) { return NodeText(expression, roll, child, style); };
  switch (node.kind) {
    case Node::Kind::Number: return std::to_string(node.number);
    case Node::Kind::Dice: return TermText(roll.terms[static_cast<std::size_t>(node.dice)], style);
    case Node::Kind::Negate: return "-" + operand(node.left);
    case Node::Kind::Group: return "(" + operand(node.left) + ")";
    case Node::Kind::Add: return operand(node.left) + " + " + operand(node.right);
    case Node::Kind::Subtract: return operand(node.left) + " - " + operand(node.right);
    case Node::Kind::Multiply: return operand(node.left) + " * " + operand(node.right);
    case Node::Kind::Divide: break;
  }
  return operand(node.left) + " / " + operand(node.right);
}

}  // namespace

std::string BreakdownText(const Expression& expression, const Roll& roll) {
  return NodeText(expression, roll, expression.RootIndex(), Style::Marks);
}

std::string CopyText(const RollResult& result) {
  std::string text;
  for (const Roll& roll : result.rolls) {
    if (!text.empty()) text += '\n';
    text += result.expression.RolledText() + ": " + BreakdownText(result.expression, roll) +
            " = " + std::to_string(roll.total);
  }
  return text;
}

std::string SpokenText(const RollResult& result) {
  std::string text;
  for (const Roll& roll : result.rolls) {
    if (!text.empty()) text += ". ";
    text += result.expression.RolledText() + ": " + std::to_string(roll.total) + ". " +
            NodeText(result.expression, roll, result.expression.RootIndex(), Style::Words);
  }
  return text;
}

}  // namespace tambrel::dice
