SELECT city, last_name, first_name, email, phone
FROM customers
ORDER BY city, last_name
